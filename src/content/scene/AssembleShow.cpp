#include "content/scene/Show.h"

#include "content/atlas/FontAtlas.h"
#include "content/shaders/ShaderBlobs.h"
#include "content/timeline/Timeline.h"

using namespace Orrery::Gfx;

namespace {

struct Blob {
    const unsigned char* bytes;
    unsigned int size;
};

TextureRuntime* createTarget(GraphRuntime& runtime, int32_t id, const TextureDesc& desc, bool doubleBuffered) {
    auto* texture = new TextureRuntime();
    texture->init(desc, doubleBuffered);
    runtime.registerResource(id) = texture;
    return texture;
}

DrawPass* createPass(GraphRuntime& runtime, int32_t id, Blob vertex, Blob pixel, TextureRuntime* output,
                     Resource* const* inputs, uint32_t inputCount) {
    auto* pass = new DrawPass();

    DrawPassDesc desc;
    drawPassDescInit(desc);
    ProgramDesc program;
    programDescInit(program);
    program.vertexBytecode = vertex.bytes;
    program.vertexBytecodeSize = vertex.size;
    program.pixelBytecode = pixel.bytes;
    program.pixelBytecodeSize = pixel.size;
    programDescCopy(desc.program, program);
    programDescFree(program);

    growPush(desc.targets, TargetRef{output, true});
    growResize(desc.inputs, inputCount);
    for (uint32_t i = 0; i < inputCount; ++i) desc.inputs[i] = ResourceRef{ResourceKind::Texture, inputs[i]};

    pass->configure(desc);
    runtime.registerPass(id) = pass;
    drawPassDescFree(desc);
    return pass;
}

}  // namespace

void assembleShow(Show& show) {
    show.runtime = new GraphRuntime();
    GraphRuntime& runtime = *show.runtime;

    GrowArray<Parameter> parameters;
    growInit(parameters);
    for (uint32_t i = 0; i < kShowParameterCount; ++i)
        growPush(parameters, makeParameter(kShowParameterNames[i], ParamType::Float));
    runtime.setParameters(parameters);
    growFree(parameters);

    buildShowTracks(show.tracks);

    const int32_t screenW = static_cast<int32_t>(static_cast<float>(screenWidth));
    const int32_t screenH = static_cast<int32_t>(static_cast<float>(screenHeight));
    const TextureDesc textLayer = texture2DDesc(kTextLayerWidth, kTextLayerHeight, FormatCode::R8G8B8A8Unorm, true);
    const TextureDesc screenLayer = texture2DDesc(screenW, screenH, FormatCode::R16G16B16A16Float, false);

    show.scrollTarget = createTarget(runtime, kScrollTargetId, textLayer, true);

    show.fontAtlas = new ImageRuntime();
    ImageDesc atlas;  // empty path: decoded from the embedded bytes
    atlas.data = kFontAtlasPng;
    atlas.size = static_cast<int32_t>(kFontAtlasPngSize);
    show.fontAtlas->init(atlas);
    runtime.registerResource(kFontAtlasId) = show.fontAtlas;

    show.paletteTarget = createTarget(runtime, kPaletteTargetId, textLayer, false);
    show.blurTarget = createTarget(runtime, kBlurTargetId, screenLayer, false);
    show.compositeTarget = createTarget(runtime, kCompositeTargetId, screenLayer, false);
    show.cloudsTarget = createTarget(runtime, kCloudsTargetId, screenLayer, false);
    show.backgroundTarget = createTarget(runtime, kBackgroundTargetId, screenLayer, false);
    show.finalTarget = createTarget(runtime, kFinalTargetId, screenLayer, false);
    show.raysTarget = createTarget(runtime, kRaysTargetId, screenLayer, false);

    const Blob shortVS{kScreenTriangleShortVS, kScreenTriangleShortVSSize};
    const Blob longVS{kScreenTriangleLongVS, kScreenTriangleLongVSSize};

    Resource* const scrollInputs[] = {show.fontAtlas, show.scrollTarget};
    show.scrollPass = createPass(runtime, kScrollPassId, longVS, {kScrollerPS, kScrollerPSSize}, show.scrollTarget,
                                 scrollInputs, 2);
    Resource* const paletteInputs[] = {show.scrollTarget};
    show.palettePass = createPass(runtime, kPalettePassId, longVS, {kPalettePS, kPalettePSSize}, show.paletteTarget,
                                  paletteInputs, 1);
    Resource* const blurInputs[] = {show.paletteTarget};
    show.blurPass =
        createPass(runtime, kBlurPassId, shortVS, {kBlurPS, kBlurPSSize}, show.blurTarget, blurInputs, 1);
    Resource* const compositeInputs[] = {show.blurTarget, show.backgroundTarget};
    show.compositePass = createPass(runtime, kCompositePassId, shortVS, {kCompositePS, kCompositePSSize},
                                    show.compositeTarget, compositeInputs, 2);
    show.cloudsPass =
        createPass(runtime, kCloudsPassId, shortVS, {kCloudsPS, kCloudsPSSize}, show.cloudsTarget, nullptr, 0);
    Resource* const backgroundInputs[] = {show.cloudsTarget};
    show.backgroundPass = createPass(runtime, kBackgroundPassId, shortVS, {kBackgroundPS, kBackgroundPSSize},
                                     show.backgroundTarget, backgroundInputs, 1);
    Resource* const crtInputs[] = {show.raysTarget};
    show.crtPass = createPass(runtime, kCrtPassId, shortVS, {kCrtPS, kCrtPSSize}, show.finalTarget, crtInputs, 1);
    Resource* const raysInputs[] = {show.compositeTarget};
    show.raysPass =
        createPass(runtime, kRaysPassId, shortVS, {kRaysPS, kRaysPSSize}, show.raysTarget, raysInputs, 1);

    DrawPass* const executionOrder[] = {show.scrollPass,     show.palettePass,   show.cloudsPass, show.backgroundPass,
                                        show.blurPass,       show.compositePass, show.raysPass,   show.crtPass};
    for (DrawPass* pass : executionOrder) runtime.addPass(PassKind::Draw, pass);

    runtime.outputTexture = show.finalTarget;
    runtime.firstFrame = true;
}
