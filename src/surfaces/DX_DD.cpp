#include "surfaces/DX_DD.h"

#include "common/RuntimeError.h"
#include "kernel/module_file.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace {

// A failing result code becomes the caller's error, naming the call.
void Check(HRESULT hr, const char* call)
{
    if (SUCCEEDED(hr)) return;
    throw RuntimeError(static_cast<ErrorNumber>(hr),
                       std::string(call) + " failed with " + DirectDrawResultName(hr));
}

// The folder of the running program, as the toolkit gives it: no separator
// at its end unless it is the root.
std::string ProgramFolder()
{
    char path[4096];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    const std::string file(path, std::min<DWORD>(length, sizeof path - 1));
    const auto slash = file.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : file.substr(0, slash);
}

}  // namespace

namespace kelvo {

LONG OptionValue::ToLong() const
{
    if (const double* number = std::get_if<double>(&value_)) return RoundTo<LONG>(*number);
    const std::string& text = std::get<std::string>(value_);
    const auto first = text.find_first_not_of(" \t");
    const auto last = text.find_last_not_of(" \t");
    double number = 0;
    if (first == std::string::npos) throw RuntimeError(ErrorNumber::TypeMismatch);
    const char* end = text.data() + last + 1;
    const auto [stop, error] = std::from_chars(text.data() + first, end, number);
    if (error != std::errc() || stop != end) throw RuntimeError(ErrorNumber::TypeMismatch);
    return RoundTo<LONG>(number);
}

}  // namespace kelvo

DX_DD::DX_DD() = default;
DX_DD::~DX_DD() = default;

std::int16_t DX_DD::AddSurfaceSlot()
{
    if (iSurfaceCount == std::numeric_limits<std::int16_t>::max()) throw RuntimeError(ErrorNumber::Overflow);
    Surfaces.emplace_back();
    return ++iSurfaceCount;
}

DX_DD::DDSurfaceEntry& DX_DD::Entry(std::int16_t iIndex)
{
    if (iIndex < 1 || iIndex > iSurfaceCount) throw RuntimeError(ErrorNumber::SubscriptOutOfRange);
    return Surfaces[static_cast<std::size_t>(iIndex - 1)];
}

DirectDraw7& DX_DD::DDraw()
{
    if (!oDDraw) Check(DDERR_INVALIDOBJECT, "DirectDraw7 (Initialise has not succeeded)");
    return *oDDraw;
}

bool DX_DD::Initialise(HWND hWnd)
{
    if (!oDX && FAILED(DirectX7::Create(oDX))) return false;
    std::shared_ptr<DirectDraw7> made;
    if (FAILED(oDX->DirectDrawCreate("", made))) return false;
    oDDraw = made;
    return SUCCEEDED(oDDraw->SetCooperativeLevel(hWnd, DDSCL_NORMAL));
}

void DX_DD::AttachClipper(DDSurfaceEntry& entry, HWND hClipper)
{
    Check(DDraw().CreateClipper(0, entry.oClipper), "DirectDraw7.CreateClipper");
    Check(entry.oClipper->SetHWnd(hClipper), "DirectDrawClipper.SetHWnd");
    Check(entry.oSurface->SetClipper(entry.oClipper), "DirectDrawSurface7.SetClipper");
}

std::int16_t DX_DD::CreateSurface(LONG SurfaceType, HWND hClipper, LONG lWidth, LONG lHeight)
{
    const std::int16_t index = AddSurfaceSlot();
    DDSURFACEDESC2 desc{};
    desc.dwFlags = DDSD_CAPS;
    if (SurfaceType == static_cast<LONG>(DDSCAPS_OFFSCREENPLAIN)) {
        desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
        desc.dwHeight = static_cast<DWORD>(lHeight);
        desc.dwWidth = static_cast<DWORD>(lWidth);
    }
    desc.ddsCaps.dwCaps = static_cast<DWORD>(SurfaceType);
    DDSurfaceEntry& entry = Entry(index);
    Check(DDraw().CreateSurface(desc, entry.oSurface), "DirectDraw7.CreateSurface");
    AttachClipper(entry, hClipper);
    entry.lSurfaceWidth = lWidth;
    entry.lSurfaceHeight = lHeight;
    return index;
}

std::int16_t DX_DD::CreateSurfaceFromFile(LONG SurfaceType, const std::string& sFilename, HWND hClipper)
{
    const std::int16_t index = AddSurfaceSlot();
    DDSURFACEDESC2 desc{};
    desc.dwFlags = DDSD_CAPS;
    desc.ddsCaps.dwCaps = static_cast<DWORD>(SurfaceType);
    const std::string path = ProgramFolder() + "/" + sFilename;
    DDSurfaceEntry& entry = Entry(index);
    Check(DDraw().CreateSurfaceFromFile(path, desc, entry.oSurface), "DirectDraw7.CreateSurfaceFromFile");
    Check(entry.oSurface->GetSurfaceDesc(desc), "DirectDrawSurface7.GetSurfaceDesc");
    entry.lSurfaceWidth = static_cast<LONG>(desc.dwWidth);
    entry.lSurfaceHeight = static_cast<LONG>(desc.dwHeight);
    AttachClipper(entry, hClipper);
    return index;
}

HDC DX_DD::GetSurfaceDC(std::int16_t iIndex)
{
    DDSurfaceEntry& entry = Entry(iIndex);
    HDC hdc = nullptr;
    Check(entry.oSurface ? entry.oSurface->GetDC(hdc) : DDERR_INVALIDOBJECT, "DirectDrawSurface7.GetDC");
    return hdc;
}

void DX_DD::ReleaseSurfaceDC(std::int16_t iIndex, HDC hdc)
{
    DDSurfaceEntry& entry = Entry(iIndex);
    Check(entry.oSurface ? entry.oSurface->ReleaseDC(hdc) : DDERR_INVALIDOBJECT, "DirectDrawSurface7.ReleaseDC");
}

void DX_DD::SetSurfaceOptions(std::int16_t iIndex, const kelvo::OptionValue& DrawStyle,
                              const kelvo::OptionValue& DrawWidth, const kelvo::OptionValue& FillColor,
                              const kelvo::OptionValue& FillStyle, const kelvo::OptionValue& ForeColor)
{
    DDSurfaceEntry& entry = Entry(iIndex);
    if (!entry.oSurface) Check(DDERR_INVALIDOBJECT, "DirectDrawSurface7");
    DirectDrawSurface7& s = *entry.oSurface;
    Check(s.SetDrawStyle(DrawStyle.ToLong()), "DirectDrawSurface7.SetDrawStyle");
    Check(s.SetDrawWidth(DrawWidth.ToLong()), "DirectDrawSurface7.SetDrawWidth");
    Check(s.SetFillColor(FillColor.ToLong()), "DirectDrawSurface7.SetFillColor");
    Check(s.SetFillStyle(FillStyle.ToLong()), "DirectDrawSurface7.SetFillStyle");
    Check(s.SetForeColor(ForeColor.ToLong()), "DirectDrawSurface7.SetForeColor");
}

void DX_DD::Copy(std::int16_t iSource, std::int16_t iDest)
{
    DDSurfaceEntry& source = Entry(iSource);
    DDSurfaceEntry& dest = Entry(iDest);
    const RECT r{0, 0, source.lSurfaceWidth, source.lSurfaceHeight};
    Check(dest.oSurface ? dest.oSurface->Blt(r, source.oSurface.get(), r, DDBLT_WAIT) : DDERR_INVALIDOBJECT,
          "DirectDrawSurface7.Blt");
}

void DX_DD::DrawLine(std::int16_t iIndex, LONG x1, LONG y1, LONG x2, LONG y2)
{
    DDSurfaceEntry& entry = Entry(iIndex);
    Check(entry.oSurface ? entry.oSurface->DrawLine(x1, y1, x2, y2) : DDERR_INVALIDOBJECT,
          "DirectDrawSurface7.DrawLine");
}

void DX_DD::Cls(std::int16_t iIndex, LONG lColor)
{
    DDSurfaceEntry& entry = Entry(iIndex);
    if (!entry.oSurface) Check(DDERR_INVALIDOBJECT, "DirectDrawSurface7");
    DirectDrawSurface7& s = *entry.oSurface;
    LONG fillStyle = 0;
    LONG fillColor = 0;
    Check(s.GetFillStyle(fillStyle), "DirectDrawSurface7.GetFillStyle");
    Check(s.GetFillColor(fillColor), "DirectDrawSurface7.GetFillColor");
    Check(s.SetFillStyle(kFillStyleSolid), "DirectDrawSurface7.SetFillStyle");
    Check(s.SetFillColor(lColor), "DirectDrawSurface7.SetFillColor");
    Check(s.DrawBox(0, 0, entry.lSurfaceWidth, entry.lSurfaceHeight), "DirectDrawSurface7.DrawBox");
    Check(s.SetFillColor(fillColor), "DirectDrawSurface7.SetFillColor");
    Check(s.SetFillStyle(fillStyle), "DirectDrawSurface7.SetFillStyle");
}

void DX_DD::Blt(std::int16_t iPrim, HWND hWnd, std::int16_t iSource)
{
    if (!oDX) Check(DirectX7::Create(oDX), "DirectX7");
    RECT w{};
    Check(oDX->GetWindowRect(hWnd, w), "DirectX7.GetWindowRect");
    DDSurfaceEntry& prim = Entry(iPrim);
    DDSurfaceEntry& source = Entry(iSource);
    const RECT whole{0, 0, 0, 0};
    Check(prim.oSurface ? prim.oSurface->Blt(w, source.oSurface.get(), whole, DDBLT_WAIT) : DDERR_INVALIDOBJECT,
          "DirectDrawSurface7.Blt");
}
