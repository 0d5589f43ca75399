#include "GlslConvert.h"

#include <spirv_cross/spirv_cross_c.h>

#include <cstdio>

#include "SpirvPatch.h"

namespace {

struct ErrorSink {
    std::string message;
};

void onSpvcError(void* user, const char* error) {
    auto* sink = static_cast<ErrorSink*>(user);
    if (sink->message.empty()) sink->message = error ? error : "unknown spirv-cross error";
}

GlslConversion failure(const std::string& error) {
    GlslConversion c;
    c.ok = false;
    c.error = error;
    c.derivativesRewritten = 0;
    return c;
}

bool resourceList(spvc_resources resources, spvc_resource_type type, const spvc_reflected_resource** list,
                  size_t* count) {
    return spvc_resources_get_resource_list_for_type(resources, type, list, count) == SPVC_SUCCESS;
}

// GLSL ES gives sampler types a default precision of lowp; the converter
// writes highp on each uniform (and highp float and int defaults), and these
// lines make sure nothing declared otherwise falls back to a lower one.
const char* const kHighpDefaults =
    "precision highp sampler2D;\n"
    "precision highp sampler3D;\n"
    "precision highp usampler2D;\n"
    "precision highp isampler2D;\n";

// Puts kHighpDefaults right after the #version line.
std::string withHighpDefaults(const std::string& text) {
    const size_t lineEnd = text.find('\n');
    if (lineEnd == std::string::npos) return text;
    return text.substr(0, lineEnd + 1) + kHighpDefaults + text.substr(lineEnd + 1);
}

}  // namespace

GlslConversion convertToGlslEs(std::vector<uint32_t> words) {
    const DerivativePatchResult patch = plainDerivatives(words);
    if (!patch.ok) return failure("not a well-formed SPIR-V module");

    ErrorSink sink;
    spvc_context context = nullptr;
    if (spvc_context_create(&context) != SPVC_SUCCESS) return failure("spirv-cross: cannot create a context");
    spvc_context_set_error_callback(context, onSpvcError, &sink);

    GlslConversion result = failure("");
    result.derivativesRewritten = patch.rewritten;
    spvc_parsed_ir ir = nullptr;
    spvc_compiler compiler = nullptr;
    spvc_compiler_options options = nullptr;
    spvc_resources resources = nullptr;
    const char* source = nullptr;
    bool ok = spvc_context_parse_spirv(context, words.data(), words.size(), &ir) == SPVC_SUCCESS &&
              spvc_context_create_compiler(context, SPVC_BACKEND_GLSL, ir, SPVC_CAPTURE_MODE_TAKE_OWNERSHIP,
                                           &compiler) == SPVC_SUCCESS &&
              spvc_compiler_create_compiler_options(compiler, &options) == SPVC_SUCCESS;
    if (ok) {
        const SpvExecutionModel model = spvc_compiler_get_execution_model(compiler);
        spvc_compiler_options_set_uint(options, SPVC_COMPILER_OPTION_GLSL_VERSION, 300);
        spvc_compiler_options_set_bool(options, SPVC_COMPILER_OPTION_GLSL_ES, SPVC_TRUE);
        spvc_compiler_options_set_bool(options, SPVC_COMPILER_OPTION_GLSL_ES_DEFAULT_FLOAT_PRECISION_HIGHP, SPVC_TRUE);
        spvc_compiler_options_set_bool(options, SPVC_COMPILER_OPTION_GLSL_ES_DEFAULT_INT_PRECISION_HIGHP, SPVC_TRUE);
        spvc_compiler_options_set_bool(options, SPVC_COMPILER_OPTION_FLIP_VERTEX_Y,
                                       model == SpvExecutionModelVertex ? SPVC_TRUE : SPVC_FALSE);
        ok = spvc_compiler_install_compiler_options(compiler, options) == SPVC_SUCCESS &&
             spvc_compiler_build_combined_image_samplers(compiler) == SPVC_SUCCESS;

        const spvc_combined_image_sampler* combined = nullptr;
        size_t combinedCount = 0;
        if (ok) ok = spvc_compiler_get_combined_image_samplers(compiler, &combined, &combinedCount) == SPVC_SUCCESS;
        for (size_t i = 0; ok && i < combinedCount; ++i) {
            const unsigned t = spvc_compiler_get_decoration(compiler, combined[i].image_id, SpvDecorationBinding);
            const unsigned s = spvc_compiler_get_decoration(compiler, combined[i].sampler_id, SpvDecorationBinding);
            char name[64];
            std::snprintf(name, sizeof name, "thaw_t%u_s%u", t, s);
            spvc_compiler_set_name(compiler, combined[i].combined_id, name);
        }

        if (ok) ok = spvc_compiler_create_shader_resources(compiler, &resources) == SPVC_SUCCESS;
        const spvc_reflected_resource* list = nullptr;
        size_t count = 0;
        if (ok && resourceList(resources, SPVC_RESOURCE_TYPE_SEPARATE_IMAGE, &list, &count)) {
            // A texture read without a sampler would need a dummy one; the
            // show has none, and a program that did would bind wrongly.
            (void)list;
        }
        if (ok && resourceList(resources, SPVC_RESOURCE_TYPE_UNIFORM_BUFFER, &list, &count)) {
            for (size_t i = 0; i < count; ++i) {
                const unsigned b = spvc_compiler_get_decoration(compiler, list[i].id, SpvDecorationBinding);
                char name[64];
                std::snprintf(name, sizeof name, "thaw_b%u", b);
                spvc_compiler_set_name(compiler, list[i].base_type_id, name);
            }
        }
        const spvc_resource_type linked =
            model == SpvExecutionModelVertex ? SPVC_RESOURCE_TYPE_STAGE_OUTPUT : SPVC_RESOURCE_TYPE_STAGE_INPUT;
        if (ok && resourceList(resources, linked, &list, &count)) {
            for (size_t i = 0; i < count; ++i) {
                const unsigned k = spvc_compiler_get_decoration(compiler, list[i].id, SpvDecorationLocation);
                char name[64];
                std::snprintf(name, sizeof name, "thaw_v%u", k);
                spvc_compiler_set_name(compiler, list[i].id, name);
            }
        }
        if (ok) ok = spvc_compiler_compile(compiler, &source) == SPVC_SUCCESS;
    }
    if (ok && source) {
        result.ok = true;
        result.text = withHighpDefaults(source);
    } else {
        result.error = sink.message.empty() ? "spirv-cross failed" : sink.message;
    }
    spvc_context_destroy(context);
    return result;
}
