// The shader program against Mesa: reading the files, compile and link reports, the fixed
// attribute indices, the twenty start-up location lines and the sampler units given at link time.
#include "gpu/shader_program.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "gpu/shader_interface.h"
#include "support/gl_context.h"

namespace {

namespace fs = std::filesystem;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

struct TempDir {
  fs::path path;
  TempDir() {
    char pattern[] = "/tmp/lumarok_shader_XXXXXX";
    path = mkdtemp(pattern);
  }
  ~TempDir() { fs::remove_all(path); }
  std::string write(const std::string& name, const std::string& text) const {
    std::ofstream(path / name, std::ios::binary) << text;
    return (path / name).string();
  }
};

struct Input {
  const char* name;
  const char* type;
  const char* use;  // a float read from it, so the linker keeps it
};
// Every attribute of the interface in the order the program binds them, then the linker-chosen ones.
const std::vector<Input> kInputs = {
    {shader::kVertex, "vec4", ".x"},       {shader::kNormal, "vec3", ".x"},
    {shader::kTexCoords, "vec2", ".x"},    {shader::kTexFlag, "float", ""},
    {shader::kLight, "vec3", ".x"},        {shader::kView, "vec3", ".x"},
    {shader::kPass, "float", ""},          {shader::kShadowOn, "float", ""},
    {shader::kCubeMapFactor, "float", ""}, {shader::kTextureFactor, "float", ""},
    {shader::kMotionBlur, "float", ""},    {shader::kWindowWidth, "float", ""},
    {shader::kWindowHeight, "float", ""},
};
const std::vector<const char*> kMatrices = {
    shader::kProjMatrix,    shader::kModelMatrix,    shader::kViewMatrix,   shader::kTextureMatrix,
    shader::kProjMatrixOld, shader::kModelMatrixOld, shader::kViewMatrixOld};

// A vertex shader that declares and uses every interface input except `omit`, attributes in `order`.
std::string vertexShader(const std::vector<Input>& order, const std::string& omit = "") {
  std::string text = "#version 130\n";
  for (const char* matrix : kMatrices)
    if (omit != matrix) text += std::string("uniform mat4 ") + matrix + ";\n";
  for (const Input& input : order)
    if (omit != input.name) text += std::string("in ") + input.type + " " + input.name + ";\n";
  text += "out vec3 direction;\nvoid main() {\n  float sum = 0.0;\n";
  for (const Input& input : order)
    if (omit != input.name) text += std::string("  sum += ") + input.name + input.use + ";\n";
  text += "  vec4 p = vec4(sum);\n";
  for (const char* matrix : kMatrices)
    if (omit != matrix) text += std::string("  p = ") + matrix + " * p;\n";
  text += "  gl_Position = p;\n  direction = p.xyz;\n}\n";
  return text;
}

const char* const kFragmentShader =
    "#version 130\n"
    "uniform sampler2D tex;\nuniform sampler2D shadowTex;\nuniform samplerCube cubeTex;\n"
    "uniform sampler2D blurTex;\nin vec3 direction;\n"
    "void main() {\n"
    "  gl_FragColor = texture2D(tex, direction.xy) + texture2D(shadowTex, direction.yz)\n"
    "      + textureCube(cubeTex, direction) + texture2D(blurTex, direction.zx);\n"
    "}\n";

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) result.push_back(line);
  return result;
}

class ShaderProgramTest : public GlContextTest {
 protected:
  TempDir dir;
  ShaderProgram program;

  // Loads the pair and returns what loading printed.
  std::string load(const std::string& vertex, const std::string& fragment = kFragmentShader) {
    std::string vertexPath = dir.write("vertexShader.txt", vertex);
    std::string fragmentPath = dir.write("fragmentShader.txt", fragment);
    CaptureStdout();
    program.load(vertexPath, fragmentPath);
    return GetCapturedStdout();
  }
  std::vector<std::string> queryLocations() {
    CaptureStdout();
    program.queryLocations();
    return lines(GetCapturedStdout());
  }
  GLint currentProgram() {
    GLint current = -1;
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    return current;
  }
  void TearDown() override {
    program.destroy();
    GlContextTest::TearDown();
  }
};

}  // namespace

TEST(ReadTextFile, EndsEveryLineWithOneLineFeed) {
  TempDir dir;
  EXPECT_EQ(readTextFile(dir.write("mixed.txt", "a\r\n\r\nb\nc")), "a\n\nb\nc\n");
  EXPECT_EQ(readTextFile(dir.write("inner.txt", "a\rb\n")), "a\rb\n");  // only a line-ending CR goes
  EXPECT_EQ(readTextFile(dir.write("empty.txt", "")), "");
  EXPECT_EQ(readTextFile((dir.path / "missing.txt").string()), "");
}

TEST_F(ShaderProgramTest, CrlfPairWithoutLastLineFeedPrintsNumberThenGelinktAndIsCurrent) {
  std::string crlf;
  for (char c : vertexShader(kInputs)) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  crlf.erase(crlf.size() - 2);  // the closing brace without a line end
  std::string out = load(crlf);
  ASSERT_NE(program.shaderProgram, 0u);
  EXPECT_EQ(out, std::to_string(program.shaderProgram) + "\nGELINKT\n");
  EXPECT_EQ(static_cast<GLuint>(currentProgram()), program.shaderProgram);
}

TEST_F(ShaderProgramTest, MissingFileGivesEmptySourceAndFailedLink) {
  std::string fragmentPath = dir.write("fragmentShader.txt", kFragmentShader);
  CaptureStdout();
  program.load((dir.path / "absent.txt").string(), fragmentPath);
  std::string out = GetCapturedStdout();
  char source[8] = "?";
  glGetShaderSource(program.vertexShader, sizeof source, nullptr, source);
  EXPECT_STREQ(source, "");  // an empty source, not a missing one
  EXPECT_EQ(out.find("GELINKT"), std::string::npos) << out;
  EXPECT_NE(out.find(std::to_string(program.shaderProgram) + "\n"), std::string::npos) << out;
}

// Failed builds: the logs come first for a compile failure, after the program number (printed before
// linking) for a link failure; never "GELINKT", and no program is made current.
struct FailingPair {
  const char* name;
  const char* vertex;  // nullptr: a valid one
  const char* fragment;
  bool compileFails;
  const char* logText;
};

class FailedBuild : public ShaderProgramTest, public testing::WithParamInterface<FailingPair> {};

TEST_P(FailedBuild, PrintsItsLogsAndNoGelinkt) {
  const FailingPair& pair = GetParam();
  const std::string out = load(pair.vertex != nullptr ? pair.vertex : vertexShader(kInputs), pair.fragment);
  std::vector<std::string> printed = lines(out);
  ASSERT_GE(printed.size(), 2u);
  const std::string number = std::to_string(program.shaderProgram);
  if (pair.compileFails) {
    EXPECT_NE(printed[0].find("error"), std::string::npos) << printed[0];
  } else {
    EXPECT_EQ(printed[0], number);
  }
  EXPECT_NE(std::find(printed.begin(), printed.end(), number), printed.end());
  EXPECT_NE(out.find(pair.logText), std::string::npos) << out;
  EXPECT_EQ(out.find("GELINKT"), std::string::npos) << out;
  EXPECT_EQ(currentProgram(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, FailedBuild,
    testing::Values(FailingPair{"CompileError", nullptr,
                                "#version 130\nvoid main() { gl_FragColor = vec4(1.0) }\n", true, "error"},
                    // Both compile, but the fragment shader has no main: only the linker can tell.
                    FailingPair{"NoMain", nullptr, "#version 130\nvoid helper() {}\n", false, "main"},
                    // Found by the fuzzer: Mesa's linker reads freed memory while it fails on this pair
                    // (suppressed for the sanitizer build in tests/sanitizers/asan.supp).
                    FailingPair{"FragmentWritesPosition", "void main() { gl_Position = vec4(0.0); }\n",
                                "void main() { gl_Position = vec4(0.0); }\n", false, "error"}),
    [](const testing::TestParamInfo<FailingPair>& info) { return info.param.name; });

TEST_F(ShaderProgramTest, PrintsTwentyLocationLinesInTableOrder) {
  load(vertexShader(kInputs));
  std::vector<std::string> printed = queryLocations();
  const std::vector<std::string> labels = {
      "ProjMatrix: ",     "ModelMatrix: ",    "ViewMatrix: ", "TextMatrix: ", "ProjMatrixOld: ",
      "ModelMatrixOld: ", "ViewMatrixOld: ",  "VERTEX: ",     "NORMAL: ",     "TEXCOORDS: ",
      "TEXFLAG: ",        "LIGHT: ",          "VIEW: ",       "PASS: ",       "SHADOW ON: ",
      "CUBEMAP FACTOR: ", "TEXTURE FACTOR: ", "TEX:",         "SHADOW: ",     "CUBETEX:"};
  ASSERT_EQ(printed.size(), labels.size());
  for (size_t i = 0; i < labels.size(); ++i) {
    ASSERT_EQ(printed[i].compare(0, labels[i].size(), labels[i]), 0) << printed[i];
    const std::string number = printed[i].substr(labels[i].size());
    EXPECT_TRUE(!number.empty() && number.find_first_not_of("0123456789") == std::string::npos &&
                number != "4294967295")
        << printed[i];
  }
  EXPECT_EQ(printed[0], "ProjMatrix: " + std::to_string(program.locations.pMatrix));
  EXPECT_EQ(printed[19], "CUBETEX:" + std::to_string(program.locations.cubeTex));
  // The blur switch's location is kept for the frame although no line shows it.
  EXPECT_EQ(static_cast<GLint>(program.locations.in_motion_blur),
            glGetAttribLocation(program.shaderProgram, shader::kMotionBlur));
}

TEST_F(ShaderProgramTest, BoundAttributesKeepTheirIndicesInAnyDeclarationOrder) {
  load(vertexShader(std::vector<Input>(kInputs.rbegin(), kInputs.rend())));
  std::vector<std::string> printed = queryLocations();
  ASSERT_EQ(printed.size(), 20u);
  const std::vector<std::string> expected = {"VERTEX: 0", "NORMAL: 1", "TEXCOORDS: 2", "TEXFLAG: 3",
                                             "LIGHT: 4",  "VIEW: 5",   "PASS: 6"};
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(printed[7 + i], expected[i]);
}

TEST_F(ShaderProgramTest, MissingNamesPrintAsMinusOneOrItsUnsignedForm) {
  load(vertexShader(kInputs, shader::kNormal));
  EXPECT_EQ(queryLocations().at(8), "NORMAL: 4294967295");
  program.destroy();
  load(vertexShader(kInputs, shader::kProjMatrix));
  EXPECT_EQ(queryLocations().at(0), "ProjMatrix: -1");
}

TEST_F(ShaderProgramTest, SamplersGetDistinctUnitsRightAfterLinking) {
  load(vertexShader(kInputs));
  for (const shader::SamplerUnit& sampler : shader::kSamplers) {
    GLint unit = -1;
    glGetUniformiv(program.shaderProgram, glGetUniformLocation(program.shaderProgram, sampler.name), &unit);
    EXPECT_EQ(unit, sampler.unit) << sampler.name;
  }
  // With all samplers on unit 0 a sampler2D beside a samplerCube makes every draw fail.
  glDrawArrays(GL_POINTS, 0, 1);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(ShaderProgramTest, DestroyDeletesAndZeroesAndMayRunTwice) {
  load(vertexShader(kInputs));
  const GLuint name = program.shaderProgram, vertex = program.vertexShader;
  glUseProgram(0);
  program.destroy();
  EXPECT_EQ(program.shaderProgram | program.vertexShader | program.fragmentShader, 0u);
  EXPECT_FALSE(glIsProgram(name) || glIsShader(vertex));
  program.destroy();
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
