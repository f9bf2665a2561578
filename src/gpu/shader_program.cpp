// Reading, compiling and linking the one GLSL program, and the start-up lookup of its locations.
// Nothing here stops start-up: a broken shader prints the driver's log and the demo runs on.
#include "gpu/shader_program.h"

#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

#include "gpu/shader_interface.h"

namespace {

// Where each row of shader::kLocationRows is kept, in the same order; matrices land in the signed
// fields, everything else in the unsigned ones.
struct LocationField {
  const char* name;
  GLint ShaderLocations::*matrix;
  GLuint ShaderLocations::*other;
};
constexpr LocationField kLocationFields[] = {
    {shader::kProjMatrix, &ShaderLocations::pMatrix, nullptr},
    {shader::kModelMatrix, &ShaderLocations::mMatrix, nullptr},
    {shader::kViewMatrix, &ShaderLocations::vMatrix, nullptr},
    {shader::kTextureMatrix, &ShaderLocations::tMatrix, nullptr},
    {shader::kProjMatrixOld, &ShaderLocations::pMatrix_old, nullptr},
    {shader::kModelMatrixOld, &ShaderLocations::mMatrix_old, nullptr},
    {shader::kViewMatrixOld, &ShaderLocations::vMatrix_old, nullptr},
    {shader::kVertex, nullptr, &ShaderLocations::in_vertex},
    {shader::kNormal, nullptr, &ShaderLocations::in_normal},
    {shader::kTexCoords, nullptr, &ShaderLocations::texCoords},
    {shader::kTexFlag, nullptr, &ShaderLocations::texFlag},
    {shader::kLight, nullptr, &ShaderLocations::in_light},
    {shader::kView, nullptr, &ShaderLocations::in_view},
    {shader::kPass, nullptr, &ShaderLocations::in_pass},
    {shader::kShadowOn, nullptr, &ShaderLocations::in_shadow_on},
    {shader::kCubeMapFactor, nullptr, &ShaderLocations::in_cubemap_factor},
    {shader::kTextureFactor, nullptr, &ShaderLocations::in_texture_factor},
    {shader::kSurfaceSampler, nullptr, &ShaderLocations::tex},
    {shader::kShadowSampler, nullptr, &ShaderLocations::shadowTex},
    {shader::kCubeSampler, nullptr, &ShaderLocations::cubeTex},
    {shader::kMotionBlur, nullptr, &ShaderLocations::in_motion_blur},
};

constexpr bool sameText(const char* a, const char* b) {
  while (*a != '\0' && *a == *b) ++a, ++b;
  return *a == *b;
}

constexpr bool fieldsMatchRows() {
  if (std::size(kLocationFields) != std::size(shader::kLocationRows)) return false;
  for (size_t i = 0; i < std::size(kLocationFields); ++i) {
    const LocationField& field = kLocationFields[i];
    const shader::LocationRow& row = shader::kLocationRows[i];
    bool isMatrix = row.kind == shader::LocationKind::kMatrix;
    if (!sameText(field.name, row.name) || (field.matrix != nullptr) != isMatrix) return false;
  }
  return true;
}
static_assert(fieldsMatchRows(), "location fields must follow the interface table row by row");

// The driver's log for a shader or program, on a line of its own; nothing when it is empty.
void printInfoLog(GLuint object, bool isProgram) {
  GLint length = 0;
  if (isProgram)
    glGetProgramiv(object, GL_INFO_LOG_LENGTH, &length);
  else
    glGetShaderiv(object, GL_INFO_LOG_LENGTH, &length);
  if (length < 1) return;
  std::vector<char> log(static_cast<size_t>(length), '\0');
  if (isProgram)
    glGetProgramInfoLog(object, length, nullptr, log.data());
  else
    glGetShaderInfoLog(object, length, nullptr, log.data());
  log.back() = '\0';
  std::cout << log.data() << std::endl;
}

// An empty source only earns a terse parser error from the driver; say which file it was.
void reportEmptySource(const std::string& path, const std::string& source) {
  if (source.empty()) std::cout << "shader file " << path << " is missing or empty" << std::endl;
}

void compileShader(GLuint shader, const std::string& source) {
  const char* text = source.c_str();
  glShaderSource(shader, 1, &text, nullptr);
  glCompileShader(shader);
  GLint compiled = GL_FALSE;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
  if (compiled == GL_FALSE) printShaderLog(shader);
}

}  // namespace

std::string readTextFile(std::string path) {
  std::ifstream file(path);
  std::string text;
  std::string line;
  while (std::getline(file, line)) {
    // A carriage return is dropped only where it ends a line, as a text-mode read on Windows would.
    if (!file.eof() && !line.empty() && line.back() == '\r') line.pop_back();
    text += line;
    text += '\n';
  }
  return text;
}

void printShaderLog(GLuint shader) { printInfoLog(shader, false); }

void ShaderProgram::load(const std::string& vertexPath, const std::string& fragmentPath) {
  std::string vertexSource = readTextFile(vertexPath);
  std::string fragmentSource = readTextFile(fragmentPath);
  reportEmptySource(vertexPath, vertexSource);
  reportEmptySource(fragmentPath, fragmentSource);
  vertexShader = glCreateShader(GL_VERTEX_SHADER);
  fragmentShader = glCreateShader(GL_FRAGMENT_SHADER);
  compileShader(vertexShader, vertexSource);
  compileShader(fragmentShader, fragmentSource);

  shaderProgram = glCreateProgram();
  std::cout << shaderProgram << std::endl;
  glAttachShader(shaderProgram, vertexShader);
  glAttachShader(shaderProgram, fragmentShader);
  for (const shader::AttributeBinding& binding : shader::kBoundAttributes)
    glBindAttribLocation(shaderProgram, binding.index, binding.name);
  glLinkProgram(shaderProgram);
  GLint linked = GL_FALSE;
  glGetProgramiv(shaderProgram, GL_LINK_STATUS, &linked);
  if (linked == GL_TRUE)
    std::cout << "GELINKT" << std::endl;
  else
    printInfoLog(shaderProgram, true);

  // Made current whatever happened above; a failed link leaves GL's previous program in place.
  glUseProgram(shaderProgram);
  // Every sampler starts on unit 0, and a sampler2D beside a samplerCube on one unit fails every
  // draw until the frame binds them; so each gets its own unit as soon as the program exists.
  if (linked == GL_TRUE) {
    for (const shader::SamplerUnit& sampler : shader::kSamplers)
      glUniform1i(glGetUniformLocation(shaderProgram, sampler.name), sampler.unit);
  }
}

void ShaderProgram::queryLocations() {
  for (size_t i = 0; i < std::size(shader::kLocationRows); ++i) {
    const shader::LocationRow& row = shader::kLocationRows[i];
    const LocationField& field = kLocationFields[i];
    GLint location = row.kind == shader::LocationKind::kAttribute
                         ? glGetAttribLocation(shaderProgram, row.name)
                         : glGetUniformLocation(shaderProgram, row.name);
    if (field.matrix != nullptr) {
      locations.*field.matrix = location;
      if (row.label != nullptr) std::cout << row.label << location << std::endl;
    } else {
      // Held unsigned on purpose: a missing name is kept, and printed, as 4294967295.
      locations.*field.other = static_cast<GLuint>(location);
      if (row.label != nullptr) std::cout << row.label << locations.*field.other << std::endl;
    }
  }
}

void ShaderProgram::destroy() {
  if (vertexShader != 0) glDeleteShader(vertexShader);
  if (fragmentShader != 0) glDeleteShader(fragmentShader);
  if (shaderProgram != 0) glDeleteProgram(shaderProgram);
  vertexShader = 0;
  fragmentShader = 0;
  shaderProgram = 0;
}
