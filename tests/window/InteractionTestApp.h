#pragma once
// A desktop without a display for exercising the window's handlers directly:
// compositions are counted, and the rebuilding steps are recorded, with a
// dummy pointer standing in for each image or caption surface a real rebuild
// would create. Nothing dereferences these pointers: the handlers only ask
// whether a surface is there.

#include "app/DesktopApp.h"
#include "platform/UiScript.h"
#include "window/MainFrame.h"

#include <cstdio>
#include <set>
#include <string>
#include <vector>

namespace interaction_test {

inline IDirectDrawSurface* const kSurface = reinterpret_cast<IDirectDrawSurface*>(0x1000);

class RecordingApp : public CDesktopApp {
public:
    RecordingApp()
    {
        m_nMaxObjects = 51;
        m_cxScreen = m_cxDesktop = 320;
        m_cyScreen = m_cyDesktop = 240;
        m_bLocked = TRUE;
        m_nObjects = 1;
        m_aObjects[0].strName = "Background";
        m_aObjects[0].bVisible = TRUE;
        m_aRuntime[0].bVisible = TRUE;
        m_aRuntime[0].nState = 1;
    }
    ~RecordingApp() override
    {
        for (ObjectRuntime& rt : m_aRuntime)
            rt = ObjectRuntime {};
    }

    // An object on top of the drawing order with an image at `image` (none
    // when its bottom is 0) and a caption at `text` (none when its bottom is
    // 0). The sizes travel with the record, so rebuilds reproduce them.
    int AddObject(const char* name, RECT image, RECT text = {}, bool visible = true)
    {
        const int i = m_nObjects++;
        DesktopObject& obj = m_aObjects[i];
        obj.strName = name;
        obj.strUpImage = image.bottom != 0 ? SizeText(image) : CString();
        obj.strText = text.bottom != 0 ? SizeText(text) : CString();
        obj.rcObject = image;
        obj.rcText = text;
        obj.bVisible = visible;
        ObjectRuntime& rt = m_aRuntime[i];
        rt.bVisible = visible;
        rt.nState = 1;
        rt.pUp = image.bottom != 0 ? kSurface : nullptr;
        rt.pText = rt.pTextHot = text.bottom != 0 ? kSurface : nullptr;
        return i;
    }

    void ComposeScene() override { ++composed; }

    void LoadObjectImages(int i) override
    {
        loaded.insert(i);
        DesktopObject& obj = m_aObjects[i];
        if (obj.strUpImage.IsEmpty())
            return;
        const SIZE size = ParseSize(obj.strUpImage);
        m_aRuntime[i].pUp = kSurface;
        obj.rcObject.right = obj.rcObject.left + size.cx;
        obj.rcObject.bottom = obj.rcObject.top + size.cy;
    }
    void CreateCaptionSurfaces(int i) override
    {
        DesktopObject& obj = m_aObjects[i];
        if (obj.strText.IsEmpty())
            return;
        // A caption placed from scratch goes under the image.
        if (obj.rcText.bottom == 0) {
            const SIZE size = ParseSize(obj.strText);
            obj.rcText = { obj.rcObject.left, obj.rcObject.bottom + 1, obj.rcObject.left + size.cx,
                obj.rcObject.bottom + 1 + size.cy };
        }
        m_aRuntime[i].pText = m_aRuntime[i].pTextHot = kSurface;
    }
    void SetObjectColorKeys(int) override { }
    void ReleaseObjectImages(int i) override
    {
        released.insert(i);
        m_aRuntime[i].pUp = m_aRuntime[i].pDown = m_aRuntime[i].pMouse = nullptr;
    }
    void ReleaseCaptionSurfaces(int i) override { m_aRuntime[i].pText = m_aRuntime[i].pTextHot = nullptr; }

    void InsertObject() override { calls.push_back("InsertObject"); }
    void EditObjectProperties() override { calls.push_back("EditObjectProperties " + std::to_string(m_nCurObject)); }
    void EditDesktopSettings() override { calls.push_back("EditDesktopSettings"); }

    // The names of objects 1 to m_nObjects - 1, in drawing order.
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (int i = 1; i < m_nObjects; ++i)
            names.push_back(m_aObjects[i].strName.str());
        return names;
    }

    // Indices that hold any surface.
    std::set<int> WithSurfaces() const
    {
        std::set<int> found;
        for (int i = 0; i < kTableSize; ++i) {
            const ObjectRuntime& rt = m_aRuntime[i];
            if (rt.pUp || rt.pDown || rt.pMouse || rt.pText || rt.pTextHot)
                found.insert(i);
        }
        return found;
    }

    void ForgetCalls()
    {
        composed = 0;
        loaded.clear();
        released.clear();
        calls.clear();
    }

    int composed = 0;
    std::set<int> loaded;
    std::set<int> released;
    std::vector<std::string> calls;

private:
    static CString SizeText(const RECT& rc)
    {
        CString text;
        text.Format("%dx%d", int(rc.right - rc.left), int(rc.bottom - rc.top));
        return text;
    }
    static SIZE ParseSize(const CString& text)
    {
        int cx = 0;
        int cy = 0;
        std::sscanf(text, "%dx%d", &cx, &cy);
        return { cx, cy };
    }
};

// Finds a menu item by command id, submenus included.
inline const MenuItemState* FindMenuItem(const std::vector<MenuItemState>& items, UINT id)
{
    for (const MenuItemState& item : items) {
        if (item.id == id)
            return &item;
        if (const MenuItemState* found = FindMenuItem(item.submenu, id))
            return found;
    }
    return nullptr;
}

}
