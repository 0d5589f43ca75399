#include "RenderHarness.h"

#include "OffscreenRender.h"

namespace {

OffscreenRenderer gRenderer;
bool gStarted = false;

}  // namespace

bool harnessStart(std::string& error) {
    if (gStarted) return true;
    gStarted = createRenderer(gRenderer, &error);
    return gStarted;
}

bool harnessAccepts(ShaderBlob blob, bool vertex) {
    std::string error;
    return vertex ? acceptsVertexShader(gRenderer, blob.bytes, blob.size, &error)
                  : acceptsPixelShader(gRenderer, blob.bytes, blob.size, &error);
}

bool harnessRender(ShaderBlob vertexShader, ShaderBlob pixelShader, const std::vector<const ref::Image*>& inputs,
                   const std::vector<uint8_t>& frameConstants, int width, int height, ref::Image& out,
                   std::string& error) {
    std::vector<TextureInput> textures(inputs.size());
    for (size_t i = 0; i < inputs.size(); ++i) {
        textures[i].width = static_cast<uint32_t>(inputs[i]->width);
        textures[i].height = static_cast<uint32_t>(inputs[i]->height);
        textures[i].format = DXGI_FORMAT_R32G32B32A32_FLOAT;
        textures[i].rgba = inputs[i]->texels.data();
    }
    DrawRequest request;
    request.vertexShader = vertexShader.bytes;
    request.vertexShaderSize = vertexShader.size;
    request.pixelShader = pixelShader.bytes;
    request.pixelShaderSize = pixelShader.size;
    request.textures = textures.empty() ? nullptr : textures.data();
    request.textureCount = static_cast<uint32_t>(textures.size());
    request.constants = frameConstants.data();
    request.constantsSize = static_cast<uint32_t>(frameConstants.size());
    request.width = static_cast<uint32_t>(width);
    request.height = static_cast<uint32_t>(height);
    request.targetFormat = DXGI_FORMAT_R32G32B32A32_FLOAT;
    std::vector<float> pixels;
    if (!renderOffscreen(gRenderer, request, pixels, &error)) return false;
    if (pixels.size() != static_cast<size_t>(width) * height * 4) {
        error = "read-back size does not match the target";
        return false;
    }
    out.width = width;
    out.height = height;
    out.texels = std::move(pixels);
    return true;
}
