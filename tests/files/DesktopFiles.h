#pragma once
// Helpers for the desktop-file tests: files in a scratch folder, bytes built
// by hand, and desktops with something in every field.

#include "app/DesktopApp.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

using Bytes = std::vector<unsigned char>;

inline Bytes ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// Little-endian bytes, assembled independently of the archive.
struct ByteBuilder {
    Bytes bytes;
    ByteBuilder& u8(unsigned v)
    {
        bytes.push_back((unsigned char)v);
        return *this;
    }
    ByteBuilder& u32(std::uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            bytes.push_back((unsigned char)(v >> (8 * i)));
        return *this;
    }
    ByteBuilder& shortStr(const std::string& s) // below 255 characters
    {
        u8(unsigned(s.size()));
        bytes.insert(bytes.end(), s.begin(), s.end());
        return *this;
    }
    ByteBuilder& rect(RECT rc)
    {
        return u32(DWORD(rc.left)).u32(DWORD(rc.top)).u32(DWORD(rc.right)).u32(DWORD(rc.bottom));
    }
    ByteBuilder& font(const LOGFONT& lf)
    {
        u32(DWORD(lf.lfHeight)).u32(DWORD(lf.lfWidth)).u32(DWORD(lf.lfEscapement)).u32(DWORD(lf.lfOrientation));
        u32(DWORD(lf.lfWeight)).u8(lf.lfItalic).u8(lf.lfUnderline).u8(lf.lfStrikeOut).u8(lf.lfCharSet);
        u8(lf.lfOutPrecision).u8(lf.lfClipPrecision).u8(lf.lfQuality).u8(lf.lfPitchAndFamily);
        return shortStr(lf.lfFaceName);
    }
};

inline LOGFONT MakeFont(const char* face, LONG height, LONG weight)
{
    LOGFONT lf;
    lf.lfHeight = height;
    lf.lfWeight = weight;
    lf.lfItalic = 1;
    lf.lfCharSet = 0xEE;
    lf.lfPitchAndFamily = 0x22;
    std::strncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
    return lf;
}

// A scratch folder and an application object whose message boxes are
// answered by the test.
class DesktopFileTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    std::unique_ptr<CDesktopApp> app = std::make_unique<CDesktopApp>();

    std::string Path(const char* name) const { return dir.filePath(name).toStdString(); }

    // Background plus objects with something different in every field.
    void FillDesktop(int nObjects)
    {
        app->m_nObjects = nObjects;
        app->m_bTile = 1;
        app->m_dwBackPixel = 0x00123456;
        app->m_crBackground = RGB(1, 2, 3);
        app->m_lfDefault = MakeFont("Tahoma", -13, 700);
        for (int i = 0; i < nObjects; ++i) {
            DesktopObject& o = app->m_aObjects[i];
            o.strName = i == 0 ? CString("Background") : CString(("Object " + std::to_string(i)).c_str());
            o.dwReserved = DWORD(i * 7);
            o.strText = CString("First line\r\nSecond \xE9 line");
            o.rcText = { 10 * i, -5, 100 + i, 200 };
            o.lfFont = MakeFont(i % 2 ? "Arial" : "Courier New", -10 - i, 400);
            o.dwTextPixel = 0xF800u + DWORD(i);
            o.crText = RGB(255, BYTE(i), 0);
            o.dwHotTextPixel = 0x07E0u + DWORD(i);
            o.crHotText = RGB(0, 255, BYTE(i));
            o.nJustify = 1087 + i % 3;
            o.strUpImage = CString(("/opt/images/up" + std::to_string(i) + ".bmp").c_str());
            o.strDownImage = i % 2 ? CString("C:\\Images\\Down.bmp") : CString();
            o.strMouseImage = CString(std::string(300, char('a' + i)));
            o.rcObject = { -20, 30 * i, 44, 30 * i + 32 };
            o.strActivate = i > 1 ? CString("Object 1") : CString();
            o.bVisible = BYTE(i % 2);
            o.bTextOnMouseOver = BYTE(i % 3 == 0);
            o.strAction = CString("run me");
        }
    }
};
