// The resource definitions and statistics chunks, read back through the
// platform's shader reflection.
#include <d3d11shader.h>
#include <d3dcompiler.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

extern const unsigned char kBlob_sample_ps[];
extern const unsigned int kBlob_sample_psSize;
extern const unsigned char kBlob_scaled_vs[];
extern const unsigned int kBlob_scaled_vsSize;
extern const unsigned char kBlob_reflect_ps[];
extern const unsigned int kBlob_reflect_psSize;

#ifdef THAW_HAVE_SHADER_BLOBS
#include "ShaderBlobs.h"
#include "ShaderTable.h"
#endif

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

// One member of a constant buffer as reflection should report it.
struct ExpectedMember {
  std::string name;
  UINT offset, size;
  D3D_SHADER_VARIABLE_CLASS cls;
  D3D_SHADER_VARIABLE_TYPE type;
  UINT rows, columns, elements;
  std::string typeName;
};

// Compares every member of the buffer named ContextBuffer with the list, in
// order; used lists the members the program reads.
void expectMembers(ID3D11ShaderReflection* reflect, UINT bufferSize,
                   const std::vector<ExpectedMember>& expected,
                   const std::vector<std::string>& used) {
  ID3D11ShaderReflectionConstantBuffer* cb = reflect->GetConstantBufferByName("ContextBuffer");
  D3D11_SHADER_BUFFER_DESC cbDesc;
  ASSERT_TRUE(SUCCEEDED(cb->GetDesc(&cbDesc)));
  EXPECT_EQ(cbDesc.Type, D3D_CT_CBUFFER);
  EXPECT_EQ(cbDesc.Size, bufferSize);
  ASSERT_EQ(cbDesc.Variables, expected.size());
  for (UINT i = 0; i < cbDesc.Variables; ++i) {
    const ExpectedMember& e = expected[i];
    SCOPED_TRACE(e.name);
    ID3D11ShaderReflectionVariable* v = cb->GetVariableByIndex(i);
    D3D11_SHADER_VARIABLE_DESC vd;
    ASSERT_TRUE(SUCCEEDED(v->GetDesc(&vd)));
    EXPECT_EQ(std::string(vd.Name), e.name);
    EXPECT_EQ(vd.StartOffset, e.offset);
    EXPECT_EQ(vd.Size, e.size);
    bool isUsed = std::find(used.begin(), used.end(), e.name) != used.end();
    EXPECT_EQ((vd.uFlags & D3D_SVF_USED) != 0, isUsed);
    D3D11_SHADER_TYPE_DESC td;
    ASSERT_TRUE(SUCCEEDED(v->GetType()->GetDesc(&td)));
    EXPECT_EQ(td.Class, e.cls);
    EXPECT_EQ(td.Type, e.type);
    EXPECT_EQ(td.Rows, e.rows);
    EXPECT_EQ(td.Columns, e.columns);
    EXPECT_EQ(td.Elements, e.elements);
    EXPECT_EQ(td.Members, 0u);
    ASSERT_NE(td.Name, nullptr);
    EXPECT_EQ(std::string(td.Name), e.typeName);
    // Looking the member up by name finds the same one.
    D3D11_SHADER_VARIABLE_DESC byName;
    ASSERT_TRUE(SUCCEEDED(cb->GetVariableByName(e.name.c_str())->GetDesc(&byName)));
    EXPECT_EQ(byName.StartOffset, e.offset);
  }
}

TEST(Reflection, ConstantBufferMembersOfEveryShape) {
  ID3D11ShaderReflection* reflect = nullptr;
  HRESULT hr = D3DReflect(kBlob_reflect_ps, kBlob_reflect_psSize, kReflectionIid,
                          reinterpret_cast<void**>(&reflect));
  ASSERT_TRUE(SUCCEEDED(hr)) << std::hex << hr;
  // A matrix starts a register and fills one per column (column_major) or
  // row (row_major); array elements start a register each. The offsets are
  // the ones the code reads, from glslang's layout, which starts a new
  // register after a matrix.
  expectMembers(reflect, 144,
                {{"base", 0, 16, D3D_SVC_VECTOR, D3D_SVT_FLOAT, 1, 4, 0, "float4"},
                 {"tall", 16, 28, D3D_SVC_MATRIX_COLUMNS, D3D_SVT_FLOAT, 3, 2, 0, "float3x2"},
                 {"wide", 48, 28, D3D_SVC_MATRIX_ROWS, D3D_SVT_FLOAT, 2, 3, 0, "float2x3"},
                 {"count", 80, 4, D3D_SVC_SCALAR, D3D_SVT_INT, 1, 1, 0, "int"},
                 {"mask", 84, 4, D3D_SVC_SCALAR, D3D_SVT_UINT, 1, 1, 0, "uint"},
                 {"pairs", 96, 40, D3D_SVC_VECTOR, D3D_SVT_FLOAT, 1, 2, 3, "float2"}},
                {"base", "pairs", "count", "mask"});
  reflect->Release();
}

#ifdef THAW_HAVE_SHADER_BLOBS
// The frame block as the shaders declare it: 608 bytes of frame context with
// nine column-major matrices, then the 27 parameters, 720 bytes in all.
std::vector<ExpectedMember> contextBufferMembers() {
  std::vector<ExpectedMember> m = {
      {"time", 0, 4, D3D_SVC_SCALAR, D3D_SVT_FLOAT, 1, 1, 0, "float"},
      {"frame", 4, 4, D3D_SVC_SCALAR, D3D_SVT_UINT, 1, 1, 0, "uint"},
      {"elapsedTime", 8, 4, D3D_SVC_SCALAR, D3D_SVT_FLOAT, 1, 1, 0, "float"},
      {"aspectRatio", 12, 4, D3D_SVC_SCALAR, D3D_SVT_FLOAT, 1, 1, 0, "float"},
      {"resolution", 16, 8, D3D_SVC_VECTOR, D3D_SVT_FLOAT, 1, 2, 0, "float2"},
      {"invResolution", 24, 8, D3D_SVC_VECTOR, D3D_SVT_FLOAT, 1, 2, 0, "float2"},
  };
  const char* matrices[] = {"viewMatrix", "projectionMatrix", "viewProjectionMatrix",
                            "invViewMatrix", "invProjectionMatrix", "invViewProjectionMatrix",
                            "lastViewMatrix", "lastProjectionMatrix", "lastViewProjectionMatrix"};
  UINT offset = 32;
  for (const char* name : matrices) {
    m.push_back({name, offset, 64, D3D_SVC_MATRIX_COLUMNS, D3D_SVT_FLOAT, 4, 4, 0, "float4x4"});
    offset += 64;
  }
  for (const char* name : shadertable::kParameterNames) {
    m.push_back({name, offset, 4, D3D_SVC_SCALAR, D3D_SVT_FLOAT, 1, 1, 0, "float"});
    offset += 4;
  }
  return m;
}

TEST(Reflection, ShowProgramsDescribeTheFrameConstantBuffer) {
  struct Program {
    const char* name;
    const unsigned char* bytes;
    unsigned size;
    std::vector<std::string> reads;  // a few members each program reads
  };
  const Program programs[] = {
      {"ScrollerPS", kScrollerPS, kScrollerPSSize, {"resolution", "SCROLLSPEED", "BAYERON"}},
      {"CloudsPS", kCloudsPS, kCloudsPSSize, {"time"}},
      {"BlurPS", kBlurPS, kBlurPSSize, {"resolution"}},
      {"CompositePS", kCompositePS, kCompositePSSize, {"bg_transp", "txt_transp", "useInput3"}},
      {"RaysPS", kRaysPS, kRaysPSSize, {"lamerbypass", "lamerdecay", "lamerdensity"}},
      {"CrtPS", kCrtPS, kCrtPSSize, {"time", "ENABLEFINALPSOTPROC", "GLOBE_BRIGHTNESS"}},
  };
  const std::vector<ExpectedMember> expected = contextBufferMembers();
  ASSERT_EQ(expected.back().offset, 712u);
  for (const Program& p : programs) {
    SCOPED_TRACE(p.name);
    ID3D11ShaderReflection* reflect = nullptr;
    HRESULT hr = D3DReflect(p.bytes, p.size, kReflectionIid, reinterpret_cast<void**>(&reflect));
    ASSERT_TRUE(SUCCEEDED(hr)) << std::hex << hr;
    ID3D11ShaderReflectionConstantBuffer* cb = reflect->GetConstantBufferByName("ContextBuffer");
    D3D11_SHADER_BUFFER_DESC cbDesc;
    ASSERT_TRUE(SUCCEEDED(cb->GetDesc(&cbDesc)));
    ASSERT_EQ(cbDesc.Variables, expected.size());
    // Which members count as read is checked for the named ones; every
    // member's name, offset, size and type for all.
    std::vector<std::string> used;
    for (UINT i = 0; i < cbDesc.Variables; ++i) {
      D3D11_SHADER_VARIABLE_DESC vd;
      ASSERT_TRUE(SUCCEEDED(cb->GetVariableByIndex(i)->GetDesc(&vd)));
      if (vd.uFlags & D3D_SVF_USED) used.push_back(vd.Name);
    }
    for (const std::string& name : p.reads)
      EXPECT_NE(std::find(used.begin(), used.end(), name), used.end()) << name << " is read";
    EXPECT_EQ(std::find(used.begin(), used.end(), "viewMatrix"), used.end());
    expectMembers(reflect, 720, expected, used);
    reflect->Release();
  }
}
#endif

}  // namespace
