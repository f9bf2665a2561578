// Entry: parse the command line, print the usage text when it is incomplete, otherwise run the demo.
// On Windows SDL's header renames main, and SDLmain, the process entry, calls it.
#include <SDL/SDL.h>

#include <iostream>

#include "app/demo_app.h"
#include "app/options.h"
#include "app/process_entry.h"

int main(int argc, char** argv) {
  finishProcessEntry();
  OptionMap options;
  parseOptions(argc, argv, options);
  if (!optionsAcceptable(options)) {
    printUsage(std::cout);
    return -1;
  }
  DemoApp app;
  app.options = &options;
  return app.run();
}
