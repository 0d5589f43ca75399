// The resource definitions and statistics chunks, read back through the
// platform's shader reflection.
#include <d3d11shader.h>
#include <d3dcompiler.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

extern const unsigned char kBlob_sample_ps[];
extern const unsigned int kBlob_sample_psSize;
extern const unsigned char kBlob_scaled_vs[];
extern const unsigned int kBlob_scaled_vsSize;

namespace {

// IID_ID3D11ShaderReflection (d3dcompiler_47); the mingw import libraries do
// not carry it.
const GUID kReflectionIid = {0x8d536ca1, 0x0cca, 0x4956, {0xa8, 0x37, 0x78, 0x69, 0x63, 0x75, 0x55, 0x84}};

// The version word: program type in bits 16..31, major version in bits 4..7.
uint32_t programType(UINT version) { return version >> 16; }
uint32_t majorVersion(UINT version) { return (version >> 4) & 0xf; }

TEST(Reflection, ResourceBindingsOfAPixelProgram) {
  ID3D11ShaderReflection* reflect = nullptr;
  HRESULT hr = D3DReflect(kBlob_sample_ps, kBlob_sample_psSize, kReflectionIid,
                          reinterpret_cast<void**>(&reflect));
  ASSERT_TRUE(SUCCEEDED(hr)) << std::hex << hr;
  D3D11_SHADER_DESC desc;
  ASSERT_TRUE(SUCCEEDED(reflect->GetDesc(&desc)));
  EXPECT_EQ(programType(desc.Version), 0u);  // pixel
  EXPECT_EQ(majorVersion(desc.Version), 5u);
  EXPECT_EQ(desc.InputParameters, 2u);
  EXPECT_EQ(desc.OutputParameters, 1u);
  EXPECT_EQ(desc.ConstantBuffers, 1u);
  EXPECT_GT(desc.InstructionCount, 5u);
  // Four samplers, two textures, the constant buffer.
  ASSERT_EQ(desc.BoundResources, 7u);
  int samplers = 0, textures = 0, buffers = 0;
  for (UINT i = 0; i < desc.BoundResources; ++i) {
    D3D11_SHADER_INPUT_BIND_DESC b;
    ASSERT_TRUE(SUCCEEDED(reflect->GetResourceBindingDesc(i, &b)));
    std::string name = b.Name;
    if (b.Type == D3D_SIT_SAMPLER) {
      ++samplers;
      if (name == "PointWrap") { EXPECT_EQ(b.BindPoint, 5u); }
    } else if (b.Type == D3D_SIT_TEXTURE) {
      ++textures;
      EXPECT_EQ(b.Dimension, D3D_SRV_DIMENSION_TEXTURE2D);
      if (name == "Second") { EXPECT_EQ(b.BindPoint, 1u); }
    } else if (b.Type == D3D_SIT_CBUFFER) {
      ++buffers;
      EXPECT_EQ(b.BindPoint, 8u);
    }
  }
  EXPECT_EQ(samplers, 4);
  EXPECT_EQ(textures, 2);
  EXPECT_EQ(buffers, 1);
  ID3D11ShaderReflectionConstantBuffer* cb = reflect->GetConstantBufferByIndex(0);
  D3D11_SHADER_BUFFER_DESC cbDesc;
  ASSERT_TRUE(SUCCEEDED(cb->GetDesc(&cbDesc)));
  EXPECT_EQ(cbDesc.Size, 64u);
  EXPECT_STREQ(cbDesc.Name, "ContextBuffer");
  D3D11_SIGNATURE_PARAMETER_DESC p;
  ASSERT_TRUE(SUCCEEDED(reflect->GetInputParameterDesc(1, &p)));
  EXPECT_STREQ(p.SemanticName, "TEXCOORD");
  EXPECT_EQ(p.Register, 1u);
  EXPECT_EQ(p.Mask, 0x3);
  reflect->Release();
}

TEST(Reflection, VertexProgramSignature) {
  ID3D11ShaderReflection* reflect = nullptr;
  HRESULT hr = D3DReflect(kBlob_scaled_vs, kBlob_scaled_vsSize, kReflectionIid,
                          reinterpret_cast<void**>(&reflect));
  ASSERT_TRUE(SUCCEEDED(hr)) << std::hex << hr;
  D3D11_SHADER_DESC desc;
  ASSERT_TRUE(SUCCEEDED(reflect->GetDesc(&desc)));
  EXPECT_EQ(programType(desc.Version), 1u);  // vertex
  D3D11_SIGNATURE_PARAMETER_DESC p;
  ASSERT_TRUE(SUCCEEDED(reflect->GetInputParameterDesc(0, &p)));
  EXPECT_EQ(p.SystemValueType, D3D_NAME_VERTEX_ID);
  ASSERT_TRUE(SUCCEEDED(reflect->GetOutputParameterDesc(0, &p)));
  EXPECT_EQ(p.SystemValueType, D3D_NAME_POSITION);
  EXPECT_EQ(p.Register, 0u);
  ASSERT_TRUE(SUCCEEDED(reflect->GetOutputParameterDesc(1, &p)));
  EXPECT_STREQ(p.SemanticName, "TEXCOORD");
  EXPECT_EQ(p.SemanticIndex, 0u);
  EXPECT_EQ(p.Register, 1u);
  reflect->Release();
}

}  // namespace
