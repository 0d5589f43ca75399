// OpenGL ES 3.0 programs: GLSL ES 3.00 text compiled and linked into a
// program object.
//
// The text comes from the same SPIR-V as the Direct3D blobs (thaw-glsl), with
// the registers in its names: each combined sampler `thaw_t<i>_s<j>` gets a
// texture unit of its own, to which a pass binds input i and sampler object
// j; the uniform block `thaw_b<n>` is bound to uniform-buffer binding n.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Orrery/gfx/Backend.h"

namespace Orrery::Gfx {

namespace {

// Reads a decimal number of at most 3 digits at `text`; advances past it.
bool readSmallNumber(const char*& text, uint32_t& value) {
    uint32_t v = 0;
    int digits = 0;
    while (*text >= '0' && *text <= '9' && digits < 3) {
        v = v * 10 + uint32_t(*text - '0');
        ++text;
        ++digits;
    }
    if (digits == 0 || (*text >= '0' && *text <= '9')) return false;
    value = v;
    return true;
}

void copyLog(char* log, uint32_t logSize, const char* stage, const char* text) {
    if (!log || logSize == 0) return;
    std::snprintf(log, logSize, "%s: %s", stage, text);
}

GLuint compileStage(GLenum type, const void* text, uint32_t size, const char* stage, char* log, uint32_t logSize) {
    GLuint shader = glCreateShader(type);
    const GLchar* source = static_cast<const GLchar*>(text);
    const GLint length = GLint(size);
    glShaderSource(shader, 1, &source, &length);
    glCompileShader(shader);
    GLint compiled = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    if (compiled == GL_TRUE) return shader;
    char driverLog[2048] = "";
    glGetShaderInfoLog(shader, sizeof driverLog, nullptr, driverLog);
    copyLog(log, logSize, stage, driverLog[0] ? driverLog : "compilation failed without a log");
    glDeleteShader(shader);
    return 0;
}

GLenum textureTargetOf(GLenum samplerType) {
    switch (samplerType) {
    case GL_SAMPLER_3D:
    case GL_INT_SAMPLER_3D:
    case GL_UNSIGNED_INT_SAMPLER_3D: return GL_TEXTURE_3D;
    default: return GL_TEXTURE_2D;
    }
}

bool isSamplerType(GLenum type) {
    switch (type) {
    case GL_SAMPLER_2D:
    case GL_SAMPLER_3D:
    case GL_INT_SAMPLER_2D:
    case GL_INT_SAMPLER_3D:
    case GL_UNSIGNED_INT_SAMPLER_2D:
    case GL_UNSIGNED_INT_SAMPLER_3D:
    case GL_SAMPLER_2D_SHADOW: return true;
    default: return false;
    }
}

// Gives every combined sampler a texture unit and every uniform block its
// binding, from the registers in their names.
bool bindRegisters(ProgramBindings& p, char* log, uint32_t logSize) {
    glUseProgram(p.program);
    GLint uniforms = 0;
    glGetProgramiv(p.program, GL_ACTIVE_UNIFORMS, &uniforms);
    p.samplerCount = 0;
    for (GLint i = 0; i < uniforms; ++i) {
        char name[128] = "";
        GLint size = 0;
        GLenum type = 0;
        glGetActiveUniform(p.program, GLuint(i), sizeof name, nullptr, &size, &type, name);
        if (!isSamplerType(type)) continue;
        uint32_t t = 0, s = 0;
        if (!parseSamplerName(name, t, s) || s >= kSamplerCount || p.samplerCount >= kMaxProgramSamplers) {
            copyLog(log, logSize, "bindings", "a sampler's name does not carry its registers");
            glUseProgram(0);
            return false;
        }
        ProgramSampler& binding = p.samplers[p.samplerCount];
        binding.unit = p.samplerCount;
        binding.textureSlot = t;
        binding.samplerSlot = s;
        binding.target = textureTargetOf(type);
        glUniform1i(glGetUniformLocation(p.program, name), GLint(binding.unit));
        p.samplerCount += 1;
    }
    GLint blocks = 0;
    glGetProgramiv(p.program, GL_ACTIVE_UNIFORM_BLOCKS, &blocks);
    for (GLint i = 0; i < blocks; ++i) {
        char name[128] = "";
        glGetActiveUniformBlockName(p.program, GLuint(i), sizeof name, nullptr, name);
        uint32_t binding = 0;
        if (!parseBlockName(name, binding)) {
            copyLog(log, logSize, "bindings", "a uniform block's name does not carry its register");
            glUseProgram(0);
            return false;
        }
        glUniformBlockBinding(p.program, GLuint(i), binding);
    }
    glUseProgram(0);
    return true;
}

void deleteAll(Program& p) {
    if (p.bindings.program) glDeleteProgram(p.bindings.program);
    if (p.vertexShader) glDeleteShader(p.vertexShader);
    if (p.pixelShader) glDeleteShader(p.pixelShader);
    p.bindings.program = p.vertexShader = p.pixelShader = 0;
    p.bindings.samplerCount = 0;
}

}  // namespace

bool parseSamplerName(const char* name, uint32_t& textureSlot, uint32_t& samplerSlot) {
    if (!name || std::strncmp(name, "thaw_t", 6) != 0) return false;
    const char* at = name + 6;
    uint32_t t = 0, s = 0;
    if (!readSmallNumber(at, t) || std::strncmp(at, "_s", 2) != 0) return false;
    at += 2;
    if (!readSmallNumber(at, s) || *at != '\0') return false;
    textureSlot = t;
    samplerSlot = s;
    return true;
}

bool parseBlockName(const char* name, uint32_t& binding) {
    if (!name || std::strncmp(name, "thaw_b", 6) != 0) return false;
    const char* at = name + 6;
    uint32_t b = 0;
    if (!readSmallNumber(at, b) || *at != '\0') return false;
    binding = b;
    return true;
}

bool glesLinkProgram(const ProgramDesc& desc, Program& p, char* log, uint32_t logSize) {
    deleteAll(p);
    if (!desc.vertexBytecode || !desc.pixelBytecode) {
        copyLog(log, logSize, "program", "no vertex or no pixel text");
        return false;
    }
    p.vertexShader = compileStage(GL_VERTEX_SHADER, desc.vertexBytecode, desc.vertexBytecodeSize, "vertex", log, logSize);
    if (!p.vertexShader) return false;
    p.pixelShader = compileStage(GL_FRAGMENT_SHADER, desc.pixelBytecode, desc.pixelBytecodeSize, "pixel", log, logSize);
    if (!p.pixelShader) {
        deleteAll(p);
        return false;
    }
    const GLuint program = p.bindings.program = glCreateProgram();
    glAttachShader(program, p.vertexShader);
    glAttachShader(program, p.pixelShader);
    glLinkProgram(program);
    GLint linked = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (linked != GL_TRUE) {
        char driverLog[2048] = "";
        glGetProgramInfoLog(program, sizeof driverLog, nullptr, driverLog);
        copyLog(log, logSize, "link", driverLog[0] ? driverLog : "linking failed without a log");
        deleteAll(p);
        return false;
    }
    if (!bindRegisters(p.bindings, log, logSize)) {
        deleteAll(p);
        return false;
    }
    return true;
}

void backendBuildProgram(Program& p) {
    // OpenGL ES 3.0 has no compute stage: a compute program makes nothing.
    if (p.desc.kind == ProgramKind::Graphics && p.desc.vertexBytecode && p.desc.pixelBytecode)
        glesLinkProgram(p.desc, p, nullptr, 0);
}

void backendReleaseProgram(Program& p) { deleteAll(p); }

}  // namespace Orrery::Gfx
