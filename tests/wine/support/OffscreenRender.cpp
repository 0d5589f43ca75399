#include "OffscreenRender.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

template <typename T>
void release(T*& p) {
  if (p) p->Release();
  p = nullptr;
}

std::string hresultText(const char* what, HRESULT hr) {
  char buf[128];
  snprintf(buf, sizeof buf, "%s failed (HRESULT 0x%08lx)", what, static_cast<unsigned long>(hr));
  return buf;
}

void setError(std::string* error, const std::string& message) {
  if (error) *error = message;
}

uint32_t bytesPerPixel(DXGI_FORMAT f) {
  switch (f) {
    case DXGI_FORMAT_R32G32B32A32_FLOAT: return 16;
    case DXGI_FORMAT_R16G16B16A16_FLOAT: return 8;
    case DXGI_FORMAT_R8G8B8A8_UNORM: return 4;
    default: return 0;
  }
}

void packPixel(DXGI_FORMAT f, const float* in, uint8_t* out) {
  if (f == DXGI_FORMAT_R32G32B32A32_FLOAT) {
    memcpy(out, in, 16);
  } else if (f == DXGI_FORMAT_R16G16B16A16_FLOAT) {
    for (int c = 0; c < 4; ++c) {
      uint16_t h = floatToHalf(in[c]);
      memcpy(out + 2 * c, &h, 2);
    }
  } else {
    for (int c = 0; c < 4; ++c) {
      float v = in[c];
      v = v > 0.0f ? (v < 1.0f ? v : 1.0f) : 0.0f;  // NaN becomes 0
      out[c] = uint8_t(std::lround(v * 255.0f));
    }
  }
}

void unpackPixel(DXGI_FORMAT f, const uint8_t* in, float* out) {
  if (f == DXGI_FORMAT_R32G32B32A32_FLOAT) {
    memcpy(out, in, 16);
  } else if (f == DXGI_FORMAT_R16G16B16A16_FLOAT) {
    for (int c = 0; c < 4; ++c) {
      uint16_t h;
      memcpy(&h, in + 2 * c, 2);
      out[c] = halfToFloat(h);
    }
  } else {
    for (int c = 0; c < 4; ++c) out[c] = in[c] / 255.0f;
  }
}

bool makeTexture(OffscreenRenderer& r, const TextureInput& in, ID3D11Texture2D** texture,
                 ID3D11ShaderResourceView** view, std::string* error) {
  uint32_t bpp = bytesPerPixel(in.format);
  if (!bpp || !in.width || !in.height || !in.rgba) {
    setError(error, "texture input needs a supported format, a size and data");
    return false;
  }
  std::vector<uint8_t> data(size_t(in.width) * in.height * bpp);
  for (size_t i = 0; i < size_t(in.width) * in.height; ++i)
    packPixel(in.format, in.rgba + 4 * i, &data[i * bpp]);
  D3D11_TEXTURE2D_DESC desc = {};
  desc.Width = in.width;
  desc.Height = in.height;
  desc.MipLevels = 1;
  desc.ArraySize = 1;
  desc.Format = in.format;
  desc.SampleDesc.Count = 1;
  desc.Usage = D3D11_USAGE_IMMUTABLE;
  desc.BindFlags = D3D11_BIND_SHADER_RESOURCE;
  D3D11_SUBRESOURCE_DATA init = {data.data(), in.width * bpp, 0};
  HRESULT hr = r.device->CreateTexture2D(&desc, &init, texture);
  if (FAILED(hr)) {
    setError(error, hresultText("CreateTexture2D (input)", hr));
    return false;
  }
  hr = r.device->CreateShaderResourceView(*texture, nullptr, view);
  if (FAILED(hr)) {
    setError(error, hresultText("CreateShaderResourceView", hr));
    return false;
  }
  return true;
}

}  // namespace

uint16_t floatToHalf(float value) {
  uint32_t bits;
  memcpy(&bits, &value, 4);
  uint32_t sign = (bits >> 16) & 0x8000;
  int32_t exponent = int32_t((bits >> 23) & 0xff);
  uint32_t mantissa = bits & 0x7fffff;
  if (exponent == 255) return uint16_t(sign | 0x7c00 | (mantissa ? 0x200 : 0));
  int32_t e = exponent - 127 + 15;
  if (e >= 31) return uint16_t(sign | 0x7c00);
  if (e <= 0) {
    if (e < -10) return uint16_t(sign);
    mantissa |= 0x800000;
    uint32_t shift = uint32_t(14 - e);
    uint32_t half = mantissa >> shift;
    uint32_t rest = mantissa & ((1u << shift) - 1);
    uint32_t mid = 1u << (shift - 1);
    if (rest > mid || (rest == mid && (half & 1))) ++half;
    return uint16_t(sign | half);
  }
  uint32_t half = uint32_t(e) << 10 | (mantissa >> 13);
  uint32_t rest = mantissa & 0x1fff;
  if (rest > 0x1000 || (rest == 0x1000 && (half & 1))) ++half;  // may carry into the exponent
  return uint16_t(sign | half);
}

float halfToFloat(uint16_t h) {
  uint32_t sign = uint32_t(h & 0x8000) << 16;
  uint32_t exponent = (h >> 10) & 0x1f;
  uint32_t mantissa = h & 0x3ff;
  float f;
  if (exponent == 0) {
    f = std::ldexp(float(mantissa), -24);
    return sign ? -f : f;
  }
  uint32_t bits;
  if (exponent == 31) bits = sign | 0x7f800000 | (mantissa << 13);
  else bits = sign | (exponent - 15 + 127) << 23 | (mantissa << 13);
  memcpy(&f, &bits, 4);
  return f;
}

bool readBinaryFile(const std::string& path, std::vector<uint8_t>& bytes) {
  bytes.clear();
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return false;
  uint8_t buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) bytes.insert(bytes.end(), buf, buf + n);
  bool ok = !ferror(f);
  fclose(f);
  return ok;
}

bool createRenderer(OffscreenRenderer& r, std::string* error) {
  D3D_FEATURE_LEVEL wanted = D3D_FEATURE_LEVEL_11_0, got;
  HRESULT hr = D3D11CreateDevice(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, 0, &wanted, 1,
                                 D3D11_SDK_VERSION, &r.device, &got, &r.context);
  if (FAILED(hr)) {
    setError(error, hresultText("D3D11CreateDevice (hardware, feature level 11_0)", hr));
    return false;
  }
  static const D3D11_FILTER kFilter[6] = {
      D3D11_FILTER_MIN_MAG_MIP_LINEAR, D3D11_FILTER_MIN_MAG_MIP_LINEAR,
      D3D11_FILTER_MIN_MAG_MIP_LINEAR, D3D11_FILTER_MIN_MAG_MIP_POINT,
      D3D11_FILTER_MIN_MAG_MIP_POINT,  D3D11_FILTER_MIN_MAG_MIP_POINT};
  static const D3D11_TEXTURE_ADDRESS_MODE kAddress[6] = {
      D3D11_TEXTURE_ADDRESS_CLAMP, D3D11_TEXTURE_ADDRESS_BORDER, D3D11_TEXTURE_ADDRESS_WRAP,
      D3D11_TEXTURE_ADDRESS_CLAMP, D3D11_TEXTURE_ADDRESS_BORDER, D3D11_TEXTURE_ADDRESS_WRAP};
  for (int i = 0; i < 6; ++i) {
    D3D11_SAMPLER_DESC d = {};
    d.Filter = kFilter[i];
    d.AddressU = d.AddressV = d.AddressW = kAddress[i];
    d.MaxAnisotropy = 1;
    d.ComparisonFunc = D3D11_COMPARISON_NEVER;
    d.MinLOD = -3.402823466e38f;
    d.MaxLOD = 3.402823466e38f;
    hr = r.device->CreateSamplerState(&d, &r.samplers[i]);
    if (FAILED(hr)) {
      setError(error, hresultText("CreateSamplerState", hr));
      destroyRenderer(r);
      return false;
    }
  }
  return true;
}

void destroyRenderer(OffscreenRenderer& r) {
  for (auto& s : r.samplers) release(s);
  if (r.context) r.context->ClearState();
  release(r.context);
  release(r.device);
}

bool acceptsVertexShader(OffscreenRenderer& r, const void* blob, size_t size, std::string* error) {
  ID3D11VertexShader* vs = nullptr;
  HRESULT hr = r.device->CreateVertexShader(blob, size, nullptr, &vs);
  release(vs);
  if (FAILED(hr)) setError(error, hresultText("CreateVertexShader", hr));
  return SUCCEEDED(hr);
}

bool acceptsPixelShader(OffscreenRenderer& r, const void* blob, size_t size, std::string* error) {
  ID3D11PixelShader* ps = nullptr;
  HRESULT hr = r.device->CreatePixelShader(blob, size, nullptr, &ps);
  release(ps);
  if (FAILED(hr)) setError(error, hresultText("CreatePixelShader", hr));
  return SUCCEEDED(hr);
}

bool renderOffscreen(OffscreenRenderer& r, const DrawRequest& req, std::vector<float>& pixels,
                     std::string* error) {
  if (!r.device) {
    setError(error, "renderer not created");
    return false;
  }
  uint32_t bpp = bytesPerPixel(req.targetFormat);
  if (!bpp || !req.width || !req.height) {
    setError(error, "unsupported target format or empty target");
    return false;
  }
  bool ok = false;
  ID3D11VertexShader* vs = nullptr;
  ID3D11PixelShader* ps = nullptr;
  ID3D11Buffer* cb = nullptr;
  ID3D11Texture2D* target = nullptr;
  ID3D11RenderTargetView* rtv = nullptr;
  ID3D11Texture2D* staging = nullptr;
  ID3D11RasterizerState* raster = nullptr;
  std::vector<ID3D11Texture2D*> textures(req.textureCount, nullptr);
  std::vector<ID3D11ShaderResourceView*> views(req.textureCount, nullptr);
  HRESULT hr;
  do {
    hr = r.device->CreateVertexShader(req.vertexShader, req.vertexShaderSize, nullptr, &vs);
    if (FAILED(hr)) {
      setError(error, hresultText("CreateVertexShader", hr));
      break;
    }
    hr = r.device->CreatePixelShader(req.pixelShader, req.pixelShaderSize, nullptr, &ps);
    if (FAILED(hr)) {
      setError(error, hresultText("CreatePixelShader", hr));
      break;
    }
    bool texturesOk = true;
    for (uint32_t i = 0; i < req.textureCount && texturesOk; ++i)
      if (req.textures[i].rgba) texturesOk = makeTexture(r, req.textures[i], &textures[i], &views[i], error);
    if (!texturesOk) break;
    if (req.constantsSize) {
      uint32_t size = (req.constantsSize + 15) / 16 * 16;
      std::vector<uint8_t> data(size, 0);
      memcpy(data.data(), req.constants, req.constantsSize);
      D3D11_BUFFER_DESC bd = {};
      bd.ByteWidth = size;
      bd.Usage = D3D11_USAGE_DEFAULT;
      bd.BindFlags = D3D11_BIND_CONSTANT_BUFFER;
      D3D11_SUBRESOURCE_DATA init = {data.data(), 0, 0};
      hr = r.device->CreateBuffer(&bd, &init, &cb);
      if (FAILED(hr)) {
        setError(error, hresultText("CreateBuffer (constants)", hr));
        break;
      }
    }
    D3D11_TEXTURE2D_DESC td = {};
    td.Width = req.width;
    td.Height = req.height;
    td.MipLevels = 1;
    td.ArraySize = 1;
    td.Format = req.targetFormat;
    td.SampleDesc.Count = 1;
    td.Usage = D3D11_USAGE_DEFAULT;
    td.BindFlags = D3D11_BIND_RENDER_TARGET;
    hr = r.device->CreateTexture2D(&td, nullptr, &target);
    if (FAILED(hr)) {
      setError(error, hresultText("CreateTexture2D (target)", hr));
      break;
    }
    hr = r.device->CreateRenderTargetView(target, nullptr, &rtv);
    if (FAILED(hr)) {
      setError(error, hresultText("CreateRenderTargetView", hr));
      break;
    }
    td.Usage = D3D11_USAGE_STAGING;
    td.BindFlags = 0;
    td.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
    hr = r.device->CreateTexture2D(&td, nullptr, &staging);
    if (FAILED(hr)) {
      setError(error, hresultText("CreateTexture2D (staging)", hr));
      break;
    }
    D3D11_RASTERIZER_DESC rd = {};
    rd.FillMode = D3D11_FILL_SOLID;
    rd.CullMode = D3D11_CULL_NONE;
    rd.DepthClipEnable = TRUE;
    hr = r.device->CreateRasterizerState(&rd, &raster);
    if (FAILED(hr)) {
      setError(error, hresultText("CreateRasterizerState", hr));
      break;
    }
    ID3D11DeviceContext* c = r.context;
    c->ClearState();
    c->ClearRenderTargetView(rtv, req.clearColor);
    c->OMSetRenderTargets(1, &rtv, nullptr);
    D3D11_VIEWPORT vp = {0, 0, float(req.width), float(req.height), 0, 1};
    c->RSSetViewports(1, &vp);
    c->RSSetState(raster);
    c->IASetInputLayout(nullptr);
    c->IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
    c->VSSetShader(vs, nullptr, 0);
    c->PSSetShader(ps, nullptr, 0);
    c->VSSetSamplers(0, 6, r.samplers);
    c->PSSetSamplers(0, 6, r.samplers);
    if (cb) {
      c->VSSetConstantBuffers(8, 1, &cb);
      c->PSSetConstantBuffers(8, 1, &cb);
    }
    if (req.textureCount) c->PSSetShaderResources(0, req.textureCount, views.data());
    c->Draw(3, 0);
    c->CopyResource(staging, target);
    D3D11_MAPPED_SUBRESOURCE mapped;
    hr = c->Map(staging, 0, D3D11_MAP_READ, 0, &mapped);
    if (FAILED(hr)) {
      setError(error, hresultText("Map (staging)", hr));
      break;
    }
    pixels.assign(size_t(req.width) * req.height * 4, 0.0f);
    for (uint32_t y = 0; y < req.height; ++y) {
      const uint8_t* row = static_cast<const uint8_t*>(mapped.pData) + size_t(y) * mapped.RowPitch;
      for (uint32_t x = 0; x < req.width; ++x)
        unpackPixel(req.targetFormat, row + size_t(x) * bpp, &pixels[(size_t(y) * req.width + x) * 4]);
    }
    c->Unmap(staging, 0);
    c->ClearState();
    ok = true;
  } while (false);
  for (auto& v : views) release(v);
  for (auto& t : textures) release(t);
  release(raster);
  release(staging);
  release(rtv);
  release(target);
  release(cb);
  release(ps);
  release(vs);
  return ok;
}
