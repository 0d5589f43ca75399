// Checks the interface of every program: the frame constant buffer's layout
// against the C++ block, the declared texture and sampler slots, and the
// compiled containers' signatures and reflection.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "DxbcInspect.h"
#include "ShaderTable.h"
#include "SpirvReflect.h"
#include "app/ContextBuffer.h"

#ifdef THAW_HAVE_TIMELINE
#include "content/timeline/Timeline.h"
#endif
#ifdef THAW_HAVE_SHADER_BLOBS
#include "content/shaders/ShaderBlobs.h"
#endif
#ifdef THAW_HAVE_DXBC_LIB
#include "Disassembler.h"
#include "DxbcStructure.h"
#endif

namespace {

struct ExpectedMember {
    std::string name;
    uint32_t offset;
};

// The layout the programs must declare, taken from the C++ block and the
// parameter list: 15 block members, then one float per parameter.
std::vector<ExpectedMember> expectedContextLayout() {
    std::vector<ExpectedMember> m = {
        {"time", offsetof(ContextBuffer, time)},
        {"frame", offsetof(ContextBuffer, frame)},
        {"elapsedTime", offsetof(ContextBuffer, elapsedTime)},
        {"aspectRatio", offsetof(ContextBuffer, aspectRatio)},
        {"resolution", offsetof(ContextBuffer, resolution)},
        {"invResolution", offsetof(ContextBuffer, invResolution)},
        {"viewMatrix", offsetof(ContextBuffer, viewMatrix)},
        {"projectionMatrix", offsetof(ContextBuffer, projectionMatrix)},
        {"viewProjectionMatrix", offsetof(ContextBuffer, viewProjectionMatrix)},
        {"invViewMatrix", offsetof(ContextBuffer, invViewMatrix)},
        {"invProjectionMatrix", offsetof(ContextBuffer, invProjectionMatrix)},
        {"invViewProjectionMatrix", offsetof(ContextBuffer, invViewProjectionMatrix)},
        {"lastViewMatrix", offsetof(ContextBuffer, lastViewMatrix)},
        {"lastProjectionMatrix", offsetof(ContextBuffer, lastProjectionMatrix)},
        {"lastViewProjectionMatrix", offsetof(ContextBuffer, lastViewProjectionMatrix)},
    };
    for (uint32_t i = 0; i < 27; ++i)
        m.push_back({shadertable::kParameterNames[i], static_cast<uint32_t>(sizeof(ContextBuffer)) + 4 * i});
    return m;
}

std::string spirvPath(const char* blob) { return std::string(THAW_SHADER_SPIRV_DIR) + "/" + blob + ".spv"; }

#ifdef THAW_HAVE_TIMELINE
TEST(ShaderInterface, ParameterListMatchesTheShowTimeline) {
    ASSERT_EQ(kShowParameterCount, 27u);
    for (uint32_t i = 0; i < kShowParameterCount; ++i)
        EXPECT_STREQ(kShowParameterNames[i], shadertable::kParameterNames[i]) << "parameter " << i;
}
#endif

TEST(ShaderInterface, ContextBufferEndsAt720Bytes) {
    std::vector<ExpectedMember> layout = expectedContextLayout();
    EXPECT_EQ(sizeof(ContextBuffer), 608u);
    EXPECT_EQ(layout.back().name, "lamerdensity");
    EXPECT_EQ(layout.back().offset, 712u);
}

TEST(ShaderInterface, EveryProgramDeclaresItsSlotsAndTheSharedLayout) {
    const std::vector<ExpectedMember> layout = expectedContextLayout();
    for (const auto& program : shadertable::kPrograms) {
        SCOPED_TRACE(program.blob);
        spirv::Module module;
        std::string error;
        ASSERT_TRUE(spirv::readModuleFile(spirvPath(program.blob), module, error)) << error;

        ASSERT_EQ(module.entryPoints.size(), 1u);
        EXPECT_EQ(module.entryPoints[0].first,
                  program.vertex ? spirv::kExecutionModelVertex : spirv::kExecutionModelFragment);
        EXPECT_EQ(module.entryPoints[0].second, program.vertex ? "vertex_main" : "pixel_main");

        std::vector<std::string> resources;
        size_t blocks = 0;
        for (const auto& v : module.variables) {
            if (v.storageClass == spirv::kStorageUniformConstant) {
                resources.push_back(v.name);
                bool found = false;
                for (size_t i = 0; i < program.textureCount; ++i)
                    if (v.name == program.textures[i].name) {
                        found = true;
                        EXPECT_EQ(v.binding, static_cast<int32_t>(program.textures[i].slot)) << v.name;
                    }
                for (size_t i = 0; i < program.samplerCount; ++i)
                    if (v.name == program.samplers[i].name) {
                        found = true;
                        EXPECT_EQ(v.binding, static_cast<int32_t>(program.samplers[i].slot)) << v.name;
                    }
                EXPECT_TRUE(found) << "unexpected resource " << v.name;
                EXPECT_EQ(v.set, 0) << v.name;
            }
            if (v.storageClass == spirv::kStorageUniform) {
                ++blocks;
                EXPECT_EQ(v.blockName, "ContextBuffer");
                EXPECT_EQ(v.binding, 8);
                EXPECT_EQ(v.set, 0);
            }
        }
        EXPECT_EQ(resources.size(), program.textureCount + program.samplerCount);
        EXPECT_EQ(blocks, program.readsContext ? 1u : 0u);

        auto block = module.structs.find("ContextBuffer");
        if (!program.readsContext) {
            EXPECT_EQ(block, module.structs.end());
            continue;
        }
        ASSERT_NE(block, module.structs.end());
        ASSERT_EQ(block->second.size(), layout.size());
        for (size_t i = 0; i < layout.size(); ++i) {
            EXPECT_EQ(block->second[i].name, layout[i].name) << "member " << i;
            EXPECT_EQ(block->second[i].offset, static_cast<int32_t>(layout[i].offset)) << layout[i].name;
        }
    }
}

#ifdef THAW_HAVE_SHADER_BLOBS

struct Blob {
    const char* name;
    const unsigned char* bytes;
    unsigned int size;
};

#define THAW_BLOB(n) {#n, k##n, k##n##Size}
const Blob kBlobs[] = {
    THAW_BLOB(ScreenTriangleShortVS), THAW_BLOB(ScreenTriangleLongVS), THAW_BLOB(PresentVS),
    THAW_BLOB(PresentPS),             THAW_BLOB(ScrollerPS),           THAW_BLOB(PalettePS),
    THAW_BLOB(CloudsPS),              THAW_BLOB(BackgroundPS),         THAW_BLOB(BlurPS),
    THAW_BLOB(CompositePS),           THAW_BLOB(RaysPS),               THAW_BLOB(CrtPS),
};
#undef THAW_BLOB

bool sameSemantic(const std::string& a, const char* b) {
    if (a.size() != std::char_traits<char>::length(b)) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

void expectScreenVertexSignature(const std::vector<dxbcinspect::SignatureElement>& sig) {
    ASSERT_EQ(sig.size(), 2u);
    EXPECT_TRUE(sameSemantic(sig[0].semantic, "SV_POSITION")) << sig[0].semantic;
    EXPECT_EQ(sig[0].systemValue, 1u);
    EXPECT_EQ(sig[0].reg, 0u);
    EXPECT_EQ(sig[0].mask, 0xf);
    EXPECT_EQ(sig[0].componentType, 3u);
    EXPECT_TRUE(sameSemantic(sig[1].semantic, "TEXCOORD")) << sig[1].semantic;
    EXPECT_EQ(sig[1].semanticIndex, 0u);
    EXPECT_EQ(sig[1].systemValue, 0u);
    EXPECT_EQ(sig[1].reg, 1u);
    EXPECT_EQ(sig[1].mask, 0x3);
    EXPECT_EQ(sig[1].componentType, 3u);
}

TEST(ShaderBlobs, ContainersCarryTheScreenSignatures) {
    for (size_t p = 0; p < std::size(kBlobs); ++p) {
        const Blob& blob = kBlobs[p];
        SCOPED_TRACE(blob.name);
        ASSERT_STREQ(blob.name, shadertable::kPrograms[p].blob);
        dxbcinspect::Container c;
        std::string error;
        ASSERT_TRUE(dxbcinspect::inspect(blob.bytes, blob.size, c, error)) << error;
        const bool vertex = shadertable::kPrograms[p].vertex;
        for (const char* chunk : {"ISGN", "OSGN", "SHEX"})
            EXPECT_NE(std::find(c.chunks.begin(), c.chunks.end(), chunk), c.chunks.end()) << chunk;
        EXPECT_EQ(c.programType, vertex ? 1u : 0u);
        EXPECT_EQ(c.majorVersion, 5u);
        EXPECT_EQ(c.minorVersion, 0u);
        if (vertex) {
            ASSERT_EQ(c.inputs.size(), 1u);
            EXPECT_TRUE(sameSemantic(c.inputs[0].semantic, "SV_VertexID")) << c.inputs[0].semantic;
            EXPECT_EQ(c.inputs[0].systemValue, 6u);
            EXPECT_EQ(c.inputs[0].componentType, 1u);
            EXPECT_EQ(c.inputs[0].reg, 0u);
            expectScreenVertexSignature(c.outputs);
        } else {
            expectScreenVertexSignature(c.inputs);
            ASSERT_EQ(c.outputs.size(), 1u);
            EXPECT_TRUE(sameSemantic(c.outputs[0].semantic, "SV_TARGET")) << c.outputs[0].semantic;
            EXPECT_EQ(c.outputs[0].semanticIndex, 0u);
            EXPECT_EQ(c.outputs[0].reg, 0u);
            EXPECT_EQ(c.outputs[0].mask, 0xf);
        }
    }
}

TEST(ShaderBlobs, ReflectionMatchesTheDeclaredInterface) {
    const std::vector<ExpectedMember> layout = expectedContextLayout();
    for (size_t p = 0; p < std::size(kBlobs); ++p) {
        const Blob& blob = kBlobs[p];
        const auto& program = shadertable::kPrograms[p];
        SCOPED_TRACE(blob.name);
        ASSERT_STREQ(blob.name, program.blob);
        dxbcinspect::Container c;
        std::string error;
        ASSERT_TRUE(dxbcinspect::inspect(blob.bytes, blob.size, c, error)) << error;
        if (!c.hasReflection) continue;  // reflection is optional in the container

        size_t textures = 0, samplers = 0, buffers = 0;
        for (const auto& b : c.bindings) {
            if (b.type == 0) {
                ++buffers;
                EXPECT_EQ(b.name, "ContextBuffer");
                EXPECT_EQ(b.bindPoint, 8u);
            }
            const shadertable::Slot* list = b.type == 2 ? program.textures : program.samplers;
            size_t count = b.type == 2 ? program.textureCount : (b.type == 3 ? program.samplerCount : 0);
            if (b.type == 2) ++textures;
            if (b.type == 3) ++samplers;
            for (size_t i = 0; i < count; ++i) {
                if (b.name == list[i].name) {
                    EXPECT_EQ(b.bindPoint, list[i].slot) << b.name;
                }
            }
        }
        EXPECT_EQ(textures, program.textureCount);
        EXPECT_EQ(samplers, program.samplerCount);
        EXPECT_EQ(buffers, program.readsContext ? 1u : 0u);
        if (!program.readsContext) continue;
        ASSERT_EQ(c.constantBuffers.size(), 1u);
        const auto& cb = c.constantBuffers[0];
        EXPECT_EQ(cb.name, "ContextBuffer");
        EXPECT_EQ(cb.size, 720u);
        // A container may describe the buffer without its members; when it
        // lists them they must be the shared layout.
        if (cb.variables.empty()) continue;
        ASSERT_EQ(cb.variables.size(), layout.size());
        for (size_t i = 0; i < layout.size(); ++i) {
            EXPECT_EQ(cb.variables[i].name, layout[i].name);
            EXPECT_EQ(cb.variables[i].offset, layout[i].offset) << layout[i].name;
        }
    }
}

#ifdef THAW_HAVE_DXBC_LIB
TEST(ShaderBlobs, DeclarationsCoverTheCodeAndOnlyTheDeclaredSlots) {
    for (size_t p = 0; p < std::size(kBlobs); ++p) {
        const Blob& blob = kBlobs[p];
        const auto& program = shadertable::kPrograms[p];
        SCOPED_TRACE(blob.name);
        dxbc::ContainerView view;
        std::string error;
        ASSERT_TRUE(dxbc::readShader(blob.bytes, blob.size, view, error)) << error;
        EXPECT_TRUE(view.checksumValid);
        ASSERT_TRUE(view.hasProgram);
        EXPECT_EQ(view.program.pixel, !program.vertex);

        dxbcstructure::Report r = dxbcstructure::checkProgram(view.program);
        for (const std::string& problem : r.problems) ADD_FAILURE() << problem;
        EXPECT_GT(r.instructions, 0u);

        std::set<uint32_t> textures, samplers;
        for (size_t i = 0; i < program.textureCount; ++i) textures.insert(program.textures[i].slot);
        for (size_t i = 0; i < program.samplerCount; ++i) samplers.insert(program.samplers[i].slot);
        EXPECT_EQ(r.resources, textures);
        EXPECT_EQ(r.samplers, samplers);
        if (program.readsContext) {
            EXPECT_EQ(r.constantBufferSlot, 8);
            EXPECT_EQ(r.constantBufferVectors, 45u);  // 720 bytes
        } else {
            EXPECT_EQ(r.constantBufferSlot, -1);
        }
    }
}
#endif

#endif  // THAW_HAVE_SHADER_BLOBS

}  // namespace
