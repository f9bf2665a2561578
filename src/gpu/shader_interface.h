// The shader interface, written down once: every name the program hands values to, with its
// attribute index or texture unit. The shader files declare the same names; nothing else in the
// code spells them out.
#pragma once

#include <GL/glew.h>

namespace shader {

// Per-vertex arrays and constant generic attributes bound to fixed indices before linking.
constexpr GLuint kVertexIndex = 0;    // in_vertex, vec4
constexpr GLuint kNormalIndex = 1;    // in_normal, vec3
constexpr GLuint kTexCoordIndex = 2;  // texCoords, vec2
constexpr GLuint kTexFlagIndex = 3;   // texFlag, never set by the program
constexpr GLuint kLightIndex = 4;     // in_light, vec3
constexpr GLuint kViewIndex = 5;      // in_view, vec3
constexpr GLuint kPassIndex = 6;      // in_pass, float

// Texture units of the samplers.
constexpr GLint kSurfaceUnit = 0;  // tex, sampler2D
constexpr GLint kShadowUnit = 1;   // shadowTex, sampler2D (raw depth, compared in the shader)
constexpr GLint kCubeUnit = 2;     // cubeTex, samplerCube
constexpr GLint kBlurUnit = 3;     // blurTex, sampler2D

// Uniform matrices (mat4, column-major, never transposed).
constexpr const char* kProjMatrix = "pMatrix";
constexpr const char* kModelMatrix = "mMatrix";
constexpr const char* kViewMatrix = "vMatrix";
constexpr const char* kTextureMatrix = "tMatrix";
constexpr const char* kProjMatrixOld = "pMatrix_old";
constexpr const char* kModelMatrixOld = "mMatrix_old";
constexpr const char* kViewMatrixOld = "vMatrix_old";

// Vertex attributes.
constexpr const char* kVertex = "in_vertex";
constexpr const char* kNormal = "in_normal";
constexpr const char* kTexCoords = "texCoords";
constexpr const char* kTexFlag = "texFlag";
constexpr const char* kLight = "in_light";
constexpr const char* kView = "in_view";
constexpr const char* kPass = "in_pass";
constexpr const char* kShadowOn = "in_shadow_on";            // float, linker-chosen index
constexpr const char* kCubeMapFactor = "in_cubemap_factor";  // float, linker-chosen index
constexpr const char* kTextureFactor = "in_texture_factor";  // float, linker-chosen index
constexpr const char* kMotionBlur = "in_motion_blur";        // float, linker-chosen index
constexpr const char* kWindowWidth = "in_w_width";           // float, looked up every frame
constexpr const char* kWindowHeight = "in_w_height";         // float, looked up every frame

// Samplers.
constexpr const char* kSurfaceSampler = "tex";
constexpr const char* kShadowSampler = "shadowTex";
constexpr const char* kCubeSampler = "cubeTex";
constexpr const char* kBlurSampler = "blurTex";

// Attributes bound before linking, in binding order.
struct AttributeBinding {
  GLuint index;
  const char* name;
};
constexpr AttributeBinding kBoundAttributes[] = {
    {kVertexIndex, kVertex}, {kNormalIndex, kNormal}, {kTexCoordIndex, kTexCoords}, {kTexFlagIndex, kTexFlag},
    {kLightIndex, kLight},   {kViewIndex, kView},     {kPassIndex, kPass},
};

// Samplers with their units, in binding order.
struct SamplerUnit {
  const char* name;
  GLint unit;
};
constexpr SamplerUnit kSamplers[] = {
    {kSurfaceSampler, kSurfaceUnit},
    {kShadowSampler, kShadowUnit},
    {kCubeSampler, kCubeUnit},
    {kBlurSampler, kBlurUnit},
};

// Locations looked up once at start-up, in lookup order, with the label printed before each.
// Matrices are printed signed, the rest unsigned; a row without a label prints no line.
enum class LocationKind { kMatrix, kAttribute, kSampler };
struct LocationRow {
  LocationKind kind;
  const char* name;
  const char* label;  // nullptr: looked up and kept, not printed
};
constexpr LocationRow kLocationRows[] = {
    {LocationKind::kMatrix, kProjMatrix, "ProjMatrix: "},
    {LocationKind::kMatrix, kModelMatrix, "ModelMatrix: "},
    {LocationKind::kMatrix, kViewMatrix, "ViewMatrix: "},
    {LocationKind::kMatrix, kTextureMatrix, "TextMatrix: "},
    {LocationKind::kMatrix, kProjMatrixOld, "ProjMatrixOld: "},
    {LocationKind::kMatrix, kModelMatrixOld, "ModelMatrixOld: "},
    {LocationKind::kMatrix, kViewMatrixOld, "ViewMatrixOld: "},
    {LocationKind::kAttribute, kVertex, "VERTEX: "},
    {LocationKind::kAttribute, kNormal, "NORMAL: "},
    {LocationKind::kAttribute, kTexCoords, "TEXCOORDS: "},
    {LocationKind::kAttribute, kTexFlag, "TEXFLAG: "},
    {LocationKind::kAttribute, kLight, "LIGHT: "},
    {LocationKind::kAttribute, kView, "VIEW: "},
    {LocationKind::kAttribute, kPass, "PASS: "},
    {LocationKind::kAttribute, kShadowOn, "SHADOW ON: "},
    {LocationKind::kAttribute, kCubeMapFactor, "CUBEMAP FACTOR: "},
    {LocationKind::kAttribute, kTextureFactor, "TEXTURE FACTOR: "},
    {LocationKind::kSampler, kSurfaceSampler, "TEX:"},
    {LocationKind::kSampler, kShadowSampler, "SHADOW: "},
    {LocationKind::kSampler, kCubeSampler, "CUBETEX:"},
    // Kept for the frame, never printed at start-up.
    {LocationKind::kAttribute, kMotionBlur, nullptr},
};

}  // namespace shader
