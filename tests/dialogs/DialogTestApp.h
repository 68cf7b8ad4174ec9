#pragma once
// A desktop with a real display whose rebuilding steps are recorded instead
// of run, for driving the dialogs through ScriptedUi.

#include "app/DesktopApp.h"
#include "platform/CDialog.h"
#include "support/DisplayFixture.h"
#include "support/ScriptedUi.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <cstring>
#include <string>
#include <vector>

namespace dialogs_test {

class DialogTestApp : public CDesktopApp {
public:
    DialogTestApp()
    {
        m_nMaxObjects = 51;
        m_nObjects = 1;
        m_aObjects[0].strName = "Background";
        m_aObjects[0].bVisible = TRUE;
        m_aRuntime[0].bVisible = TRUE;
        m_aRuntime[0].nState = 1;
    }

    int AddObject(const char* name, const char* activate = "")
    {
        const int i = m_nObjects++;
        m_aObjects[i].strName = name;
        m_aObjects[i].strActivate = activate;
        m_aObjects[i].bVisible = TRUE;
        m_aRuntime[i].bVisible = TRUE;
        m_aRuntime[i].nState = 1;
        return i;
    }

    void ComposeScene() override { log.push_back("Compose"); }
    void LoadObjectImages(int i) override { log.push_back("LoadImages " + std::to_string(i)); }
    void ReleaseObjectImages(int i) override { log.push_back("ReleaseImages " + std::to_string(i)); }
    void CreateCaptionSurfaces(int i) override { log.push_back("CreateCaptions " + std::to_string(i)); }
    void ReleaseCaptionSurfaces(int i) override { log.push_back("ReleaseCaptions " + std::to_string(i)); }
    void SetObjectColorKeys(int i) override { log.push_back("ColorKeys " + std::to_string(i)); }
    void UpdateTileSurface() override { log.push_back("UpdateTile"); }
    void ReleaseTileSurface() override { log.push_back("ReleaseTile"); }

    std::vector<std::string> log;
};

inline LOGFONT MakeFont(const char* face, LONG height)
{
    LOGFONT lf;
    std::strncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
    lf.lfHeight = height;
    lf.lfWeight = 400;
    return lf;
}

template<class T> T& Item(CDialog& dlg, int id)
{
    auto* control = dynamic_cast<T*>(dlg.GetDlgItem(id));
    if (!control)
        throw std::runtime_error("no control " + std::to_string(id));
    return *control;
}

inline std::string Text(CDialog& dlg, int id)
{
    return dlg.GetDlgItem(id)->GetWindowText().str();
}

inline void SetText(CDialog& dlg, int id, const std::string& text)
{
    dlg.GetDlgItem(id)->SetWindowText(text.c_str());
}

} // namespace dialogs_test
