// Writes reference DXBC containers with Wine's (or Windows') D3DCompile, whose
// checksums the container writer's tests compare against. Build with mingw-w64
// and run once under Wine in this directory:
//   x86_64-w64-mingw32-g++-posix -O2 -static GenerateVectors.cpp -o gen.exe -ld3dcompiler_47
//   scripts/wine-run.sh gen.exe
#include <d3dcompiler.h>

#include <cstdio>
#include <cstring>

struct Vector {
  const char* file;
  const char* profile;
  const char* entry;
  const char* source;
};

const Vector kVectors[] = {
    {"wine_ps_constant.dxbc", "ps_5_0", "main",
     "float4 main() : SV_TARGET { return float4(0.25, 0.5, 0.75, 1.0); }"},
    {"wine_ps_uv.dxbc", "ps_5_0", "main",
     "float4 main(float4 p : SV_POSITION, float2 uv : TEXCOORD0) : SV_TARGET {\n"
     "  return float4(uv * 2.0 + p.xy, 0.0, 1.0);\n}"},
    {"wine_vs_passthrough.dxbc", "vs_5_0", "main",
     "struct O { float4 p : SV_POSITION; float2 uv : TEXCOORD0; };\n"
     "O main(float4 p : POSITION, float2 uv : TEXCOORD0) { O o; o.p = p; o.uv = uv; return o; }"},
    {"wine_ps_cbuffer.dxbc", "ps_5_0", "main",
     "cbuffer C : register(b8) { float4 tint; float scale; };\n"
     "float4 main(float4 p : SV_POSITION) : SV_TARGET { return tint * scale + p; }"},
    // Growing programs, so that some container sizes leave 56 or more bytes
    // after the last whole 64-byte block (the checksum's two-block ending).
    {"wine_ps_terms1.dxbc", "ps_5_0", "main",
     "float4 main(float4 p : SV_POSITION) : SV_TARGET { return p * 2.0 + 1.0; }"},
    {"wine_ps_terms2.dxbc", "ps_5_0", "main",
     "float4 main(float4 p : SV_POSITION) : SV_TARGET { return p * 2.0 + p * p + 1.0; }"},
    {"wine_ps_terms3.dxbc", "ps_5_0", "main",
     "float4 main(float4 p : SV_POSITION) : SV_TARGET { return p * 2.0 + p * p * 3.0 + 1.0; }"},
    {"wine_ps_terms4.dxbc", "ps_5_0", "main",
     "float4 main(float4 p : SV_POSITION) : SV_TARGET { return (p + 4.0) * (p - 1.0) * 5.0; }"},
    {"wine_ps_terms5.dxbc", "ps_5_0", "main",
     "float4 main(float4 p : SV_POSITION) : SV_TARGET { return p.xyzw * p.yzwx + p.zwxy; }"},
    {"wine_ps_terms6.dxbc", "ps_5_0", "main",
     "float4 main(float4 p : SV_POSITION) : SV_TARGET { return p.x + p.y * 2.0 + p.z * 3.0; }"},
    {"wine_ps_terms7.dxbc", "ps_5_0", "main",
     "float4 main(float4 p : SV_POSITION) : SV_TARGET { return float4(p.x, 1.0, p.y, 2.0); }"},
    {"wine_ps_terms8.dxbc", "ps_5_0", "main",
     "float4 main(float4 p : SV_POSITION) : SV_TARGET { return float4(p.xy * 3.0, 1.0, 0.5); }"},
};

int main() {
  int failures = 0;
  for (const Vector& v : kVectors) {
    ID3DBlob* code = nullptr;
    ID3DBlob* errors = nullptr;
    HRESULT hr = D3DCompile(v.source, strlen(v.source), v.file, nullptr, nullptr, v.entry,
                            v.profile, 0, 0, &code, &errors);
    if (FAILED(hr)) {
      fprintf(stderr, "%s: D3DCompile failed 0x%08lx: %s\n", v.file, (unsigned long)hr,
              errors ? (const char*)errors->GetBufferPointer() : "");
      ++failures;
    } else {
      FILE* f = fopen(v.file, "wb");
      if (!f || fwrite(code->GetBufferPointer(), 1, code->GetBufferSize(), f) !=
                    code->GetBufferSize()) {
        fprintf(stderr, "%s: cannot write\n", v.file);
        ++failures;
      }
      if (f) fclose(f);
      printf("%s: %u bytes\n", v.file, (unsigned)code->GetBufferSize());
    }
    if (code) code->Release();
    if (errors) errors->Release();
  }
  return failures ? 1 : 0;
}
