// The shader program against Mesa: reading the files, compile and link reports, the fixed
// attribute indices, the twenty start-up location lines and the sampler units given at link time.
#include "gpu/shader_program.h"

#include <gtest/gtest.h>
#include <stdlib.h>

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
  std::string queryLocations() {
    CaptureStdout();
    program.queryLocations();
    return GetCapturedStdout();
  }
  void TearDown() override {
    program.destroy();
    GlContextTest::TearDown();
  }
};

}  // namespace

TEST(ReadTextFile, EndsEveryLineWithOneLineFeed) {
  TempDir dir;
  EXPECT_EQ(readTextFile(dir.write("crlf.txt", "a\r\nb\r\n")), "a\nb\n");
  EXPECT_EQ(readTextFile(dir.write("last.txt", "a\nlast")), "a\nlast\n");
  EXPECT_EQ(readTextFile(dir.write("mixed.txt", "a\r\n\r\nb\nc")), "a\n\nb\nc\n");
  // Only a carriage return that ends a line goes.
  EXPECT_EQ(readTextFile(dir.write("inner.txt", "a\rb\n")), "a\rb\n");
  EXPECT_EQ(readTextFile(dir.write("empty.txt", "")), "");
  EXPECT_EQ(readTextFile((dir.path / "missing.txt").string()), "");
}

TEST_F(ShaderProgramTest, ValidPairPrintsNumberThenGelinktAndIsCurrent) {
  std::string out = load(vertexShader(kInputs));
  ASSERT_NE(program.shaderProgram, 0u);
  EXPECT_EQ(out, std::to_string(program.shaderProgram) + "\nGELINKT\n");
  GLint current = 0;
  glGetIntegerv(GL_CURRENT_PROGRAM, &current);
  EXPECT_EQ(static_cast<GLuint>(current), program.shaderProgram);
  GLint attached = 0;
  glGetProgramiv(program.shaderProgram, GL_ATTACHED_SHADERS, &attached);
  EXPECT_EQ(attached, 2);
}

TEST_F(ShaderProgramTest, CrlfFileWithoutLastLineFeedStillCompiles) {
  std::string source = vertexShader(kInputs);
  std::string crlf;
  for (char c : source) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  crlf.erase(crlf.size() - 2);  // the closing brace without a line end
  std::string out = load(crlf);
  EXPECT_EQ(out, std::to_string(program.shaderProgram) + "\nGELINKT\n");
}

TEST_F(ShaderProgramTest, MissingFileGivesEmptySourceAndFailedLink) {
  std::string fragmentPath = dir.write("fragmentShader.txt", kFragmentShader);
  CaptureStdout();
  program.load((dir.path / "absent.txt").string(), fragmentPath);
  std::string out = GetCapturedStdout();
  char source[8] = "?";
  glGetShaderSource(program.vertexShader, sizeof source, nullptr, source);
  EXPECT_STREQ(source, "");  // an empty source, not a missing one
  GLint compiled = GL_TRUE;
  glGetShaderiv(program.vertexShader, GL_COMPILE_STATUS, &compiled);
  EXPECT_EQ(compiled, GL_FALSE);
  std::vector<std::string> printed = lines(out);
  ASSERT_FALSE(printed.empty());
  EXPECT_EQ(out.find("GELINKT"), std::string::npos) << out;
  EXPECT_NE(out.find(std::to_string(program.shaderProgram) + "\n"), std::string::npos) << out;
}

TEST_F(ShaderProgramTest, BrokenShaderPrintsItsLogAndNoGelinkt) {
  std::string out = load(vertexShader(kInputs), "#version 130\nvoid main() { gl_FragColor = vec4(1.0) }\n");
  std::vector<std::string> printed = lines(out);
  ASSERT_GE(printed.size(), 2u) << out;
  // The compile log comes first, then the program number (printed before linking), then the link log.
  EXPECT_NE(printed[0].find("error"), std::string::npos) << out;
  EXPECT_NE(std::find(printed.begin(), printed.end(), std::to_string(program.shaderProgram)), printed.end());
  EXPECT_EQ(out.find("GELINKT"), std::string::npos) << out;
  GLint current = -1;
  glGetIntegerv(GL_CURRENT_PROGRAM, &current);
  EXPECT_EQ(current, 0);  // the failed program could not be made current
}

TEST_F(ShaderProgramTest, FragmentShaderWritingPositionFailsToLinkWithItsLog) {
  // Found by the fuzzer: Mesa compiles this pair, then its linker reads freed memory while it
  // fails (suppressed for the sanitizer build in tests/sanitizers/asan.supp). The link must
  // still fail with its log and leave no program current.
  std::string out =
      load("void main() { gl_Position = vec4(0.0); }\n", "void main() { gl_Position = vec4(0.0); }\n");
  EXPECT_NE(out.find("error"), std::string::npos) << out;
  EXPECT_EQ(out.find("GELINKT"), std::string::npos) << out;
  GLint current = -1;
  glGetIntegerv(GL_CURRENT_PROGRAM, &current);
  EXPECT_EQ(current, 0);
}

TEST_F(ShaderProgramTest, LinkFailurePrintsProgramLog) {
  // Both compile, but the fragment shader has no main: only the linker can tell.
  std::string out = load(vertexShader(kInputs), "#version 130\nvoid helper() {}\n");
  std::vector<std::string> printed = lines(out);
  ASSERT_GE(printed.size(), 2u) << out;
  EXPECT_EQ(printed[0], std::to_string(program.shaderProgram));
  EXPECT_NE(out.find("main"), std::string::npos) << out;
  EXPECT_EQ(out.find("GELINKT"), std::string::npos) << out;
}

TEST_F(ShaderProgramTest, PrintsTwentyLocationLinesInTableOrder) {
  load(vertexShader(kInputs));
  std::vector<std::string> printed = lines(queryLocations());
  const std::vector<std::string> labels = {
      "ProjMatrix: ",     "ModelMatrix: ",    "ViewMatrix: ", "TextMatrix: ", "ProjMatrixOld: ",
      "ModelMatrixOld: ", "ViewMatrixOld: ",  "VERTEX: ",     "NORMAL: ",     "TEXCOORDS: ",
      "TEXFLAG: ",        "LIGHT: ",          "VIEW: ",       "PASS: ",       "SHADOW ON: ",
      "CUBEMAP FACTOR: ", "TEXTURE FACTOR: ", "TEX:",         "SHADOW: ",     "CUBETEX:"};
  ASSERT_EQ(printed.size(), labels.size());
  for (size_t i = 0; i < labels.size(); ++i) {
    ASSERT_EQ(printed[i].compare(0, labels[i].size(), labels[i]), 0) << printed[i];
    std::string number = printed[i].substr(labels[i].size());
    ASSERT_FALSE(number.empty());
    EXPECT_EQ(number.find_first_not_of("0123456789"), std::string::npos) << printed[i];
    if (i >= 7) {
      EXPECT_NE(number, "4294967295") << printed[i];
    }
  }
  EXPECT_EQ(printed[0], "ProjMatrix: " + std::to_string(program.locations.pMatrix));
  EXPECT_EQ(printed[19], "CUBETEX:" + std::to_string(program.locations.cubeTex));
  // The blur switch's location is kept for the frame although no line shows it.
  EXPECT_EQ(static_cast<GLint>(program.locations.in_motion_blur),
            glGetAttribLocation(program.shaderProgram, shader::kMotionBlur));
  EXPECT_NE(program.locations.in_motion_blur, static_cast<GLuint>(-1));
}

TEST_F(ShaderProgramTest, BoundAttributesKeepTheirIndicesInAnyDeclarationOrder) {
  std::vector<Input> reversed(kInputs.rbegin(), kInputs.rend());
  load(vertexShader(reversed));
  std::vector<std::string> printed = lines(queryLocations());
  ASSERT_EQ(printed.size(), 20u);
  const std::vector<std::string> expected = {"VERTEX: 0", "NORMAL: 1", "TEXCOORDS: 2", "TEXFLAG: 3",
                                             "LIGHT: 4",  "VIEW: 5",   "PASS: 6"};
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(printed[7 + i], expected[i]);
  for (const shader::AttributeBinding& binding : shader::kBoundAttributes)
    EXPECT_EQ(glGetAttribLocation(program.shaderProgram, binding.name), static_cast<GLint>(binding.index));
}

TEST_F(ShaderProgramTest, MissingNamesPrintAsMinusOneOrItsUnsignedForm) {
  load(vertexShader(kInputs, shader::kNormal));
  std::string out = queryLocations();
  EXPECT_NE(out.find("\nNORMAL: 4294967295\n"), std::string::npos) << out;
  EXPECT_EQ(program.locations.in_normal, 4294967295u);
  program.destroy();

  load(vertexShader(kInputs, shader::kProjMatrix));
  out = queryLocations();
  EXPECT_EQ(out.compare(0, 15, "ProjMatrix: -1\n"), 0) << out;
  EXPECT_EQ(program.locations.pMatrix, -1);
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
  GLuint name = program.shaderProgram;
  GLuint vertex = program.vertexShader;
  glUseProgram(0);
  program.destroy();
  EXPECT_EQ(program.shaderProgram, 0u);
  EXPECT_EQ(program.vertexShader, 0u);
  EXPECT_EQ(program.fragmentShader, 0u);
  EXPECT_FALSE(glIsProgram(name));
  EXPECT_FALSE(glIsShader(vertex));
  program.destroy();
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
