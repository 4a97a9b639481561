// The controls' access to the program's embedded pictures, kept apart so that
// code using the controls with pictures of its own needs no resources.
#include "controls/GdipButton.h"
#include "controls/ImgButton.h"
#include "platform/Resources.h"

bool CGdiPlusBitmapResource::Load(UINT id, const char* type) {
    m_pBitmap.reset();
    const plat::ResourceBlob blob = plat::FindResource(static_cast<int>(id), type);
    if (!blob) return false;
    return LoadFromMemory(blob.data, blob.size);
}

BOOL CGdipButton::LoadStdImage(UINT id, const char* type) {
    delete m_pStdImage;
    m_pStdImage = new CGdiPlusBitmapResource;
    return m_pStdImage->Load(id, type) ? TRUE : FALSE;
}

BOOL CGdipButton::LoadAltImage(UINT id, const char* type) {
    m_bHasAltImage = TRUE;
    delete m_pAltImage;
    m_pAltImage = new CGdiPlusBitmapResource;
    return m_pAltImage->Load(id, type) ? TRUE : FALSE;
}

BOOL CImgButton::LoadBitmaps(UINT idUp, UINT idDown, UINT idFocus, UINT idDisabled) {
    auto load = [](UINT id, wxBitmap& into) {
        into = wxBitmap();
        if (id == 0) return true;
        wxImage image;
        if (!plat::LoadResourceImage(static_cast<int>(id), plat::RT_BITMAP, image)) return false;
        into = wxBitmap(image);
        return into.IsOk();
    };
    bool ok = load(idUp, m_bitmap);
    ok = load(idDown, m_bitmapSel) && ok;
    ok = load(idFocus, m_bitmapFocus) && ok;
    ok = load(idDisabled, m_bitmapDisabled) && ok;
    return ok && m_bitmap.IsOk() ? TRUE : FALSE;
}
