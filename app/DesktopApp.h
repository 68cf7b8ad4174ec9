#pragma once
// The application object: owns the display, the object table and every piece
// of desktop and interaction state.

#include "platform/CString.h"
#include "platform/CWinApp.h"
#include "platform/DirectDraw.h"
#include "platform/Types.h"
#include "scene/History.h"

#include <map>
#include <optional>
#include <vector>

// One record of the object table.
struct DesktopObject {
    CString strName;
    DWORD dwReserved = 0;
    CString strText;
    RECT rcText;
    LOGFONT lfFont;
    DWORD dwTextPixel = 0;
    COLORREF crText = 0;
    DWORD dwHotTextPixel = 0;
    COLORREF crHotText = 0;
    int nJustify = 0;
    CString strUpImage;
    CString strDownImage;
    CString strMouseImage;
    RECT rcObject;
    CString strActivate;
    BYTE bVisible = 0;
    BYTE bTextOnMouseOver = 0;
    CString strAction;
};

// Per-object state that is never saved.
struct ObjectRuntime {
    BYTE bSelected = 0;
    BYTE bVisible = 0;
    int nState = 0;
    int nActivates = 0;
    IDirectDrawSurface* pUp = nullptr;
    IDirectDrawSurface* pDown = nullptr;
    IDirectDrawSurface* pMouse = nullptr;
    IDirectDrawSurface* pText = nullptr;
    IDirectDrawSurface* pTextHot = nullptr;
};

inline constexpr int kTableSize = 52;
inline constexpr int kMaxCaptionLines = 100;
// The transparent colour of every object surface.
inline constexpr COLORREF kColorKey = 0x7F7F00;

class CDesktopApp : public CWinApp {
public:
    CDesktopApp() = default;

    BOOL InitInstance() override;

    BOOL FailDirectDrawInit();
    void ReleaseDirectDraw();
    BOOL RestoreSurfaces();
    void ComposeScene();
    void InsertObject();
    // A dropped file, folder, application entry or link becomes an object at
    // `pt`, made as Insert makes one: named after it (made unique), its icon
    // as Up picture, itself as action. The caller checks the capacity.
    void InsertDroppedObject(const CString& strItem, const CString& strName, const CString& strPicture, POINT pt);
    void EditObjectProperties();
    void EditDesktopSettings();
    void OffsetObject(int i);
    BOOL ClampDragOffset();
    void SetObjectColorKeys(int i);
    void LoadObjectImages(int i);
    void ReleaseObjectImages(int i);
    void ResolveActivationLinks();
    void ApplyVisibility();
    void UpdateTileSurface();
    void ReleaseTileSurface();
    void ReleaseTextWorkSurface();
    void BuildTileSurface();
    void RenderTextLine(CString line, int i, int nLine);
    void ReleaseColorSurface();
    void CreateColorSurface();
    void ReleaseCaptionSurfaces(int i);
    void CreateCaptionSurfaces(int i);
    void ShowSplash();
    void SaveDesktop();
    void LoadDesktop();

    // Unsaved edits are not lost at exit: the window asks about them, an
    // ending session keeps them in a recovery file, and the next start offers
    // it back (an interactive run only: m_bKeepRecovery).
    // The bytes SaveDesktop would write now.
    std::vector<BYTE> DesktopBytes() const;
    // The desktop differs from what was last loaded or saved.
    BOOL IsDesktopModified() const;
    // Keeps an unsaved desktop and the name of its file in the recovery
    // file; with nothing unsaved, removes one this run wrote.
    void WriteRecovery();
    void DiscardRecovery();
    // At start-up: a usable recovery file may replace the desktop just read
    // (Yes), its file name the current one and its edits unsaved; TRUE then.
    // The file goes either way; a damaged one is refused on standard error.
    BOOL OfferRecovery();

    // Where desktops are kept (m_strDesktopsDir): the program's desktops
    // folder when the user can write it (a build, a copied folder), else the
    // user's own, $XDG_DATA_HOME/orvanta/desktops, which the first start
    // fills with a copy of the program's default desktop. Its pictures stay
    // in the program folder: their paths are relative to it.
    void FindDesktopsFolder();
    CString DesktopsFolder() const
    {
        return m_strDesktopsDir.IsEmpty() ? m_strAppDir + "\\desktops" : m_strDesktopsDir;
    }

    // Display creation steps 1 to 7, each failure shown with its message;
    // FALSE after FailDirectDrawInit when a step that ends start-up failed.
    BOOL CreateDisplay(HWND window);
    // The screen changed (WM_DISPLAYCHANGE): the display is made again at the
    // screen's size, every object rebuilt on it as a start at that size
    // builds them, the desktop ends where the new work area does, and the
    // scene is composed. FALSE when the display could not be made.
    BOOL RecreateDisplay(HWND window, const RECT& rcWorkArea);

    // Pictures too large for the screen, while a whole desktop is built:
    // between BeginImageChecks and ReportImageChecks, LoadObjectImages keeps
    // its refusals, and the report shows them in one message. Outside, each
    // refusal shows at once.
    void BeginImageChecks();
    void ReportImageChecks();
    BOOL m_bCollectRefusals = FALSE;
    int m_nRefusedImages = 0;
    CString m_strFirstRefused;
    // A report's box is open: a screen changing again meanwhile adds none.
    BOOL m_bReportShown = FALSE;

    // Display.
    IDirectDraw* m_pDD = nullptr;
    IDirectDrawSurface* m_pDDSPrimary = nullptr;
    IDirectDrawSurface* m_pDDSBack = nullptr;
    IDirectDrawClipper* m_pClipper = nullptr;
    IDirectDrawPalette* m_pDDPal = nullptr;
    IDirectDrawSurface* m_pDDSTile = nullptr;
    IDirectDrawSurface* m_pDDSTextWork = nullptr;
    IDirectDrawSurface* m_pDDSColor = nullptr;
    DDSURFACEDESC m_ddsd;
    DDBLTFX m_ddbltfx;
    char m_szPalettePath[256] = {};

    // Desktop and interaction state.
    int m_nMaxObjects = 0;
    int m_nObjects = 0;
    POINT m_ptLast;
    BOOL m_bDragImage = FALSE;
    SIZE m_sizeDrag;
    int m_cxScreen = 0;
    int m_cxDesktop = 0;
    int m_cyScreen = 0;
    int m_cyDesktop = 0;
    RECT m_rcSelection;
    BYTE m_bLocked = 0;
    int m_nPressedImage = 0;
    int m_nPressedText = 0;
    int m_nHoverObject = 0;
    CString m_strAppDir;
    CString m_strDesktopsDir;
    BYTE m_bInserting = 0;
    POINT m_ptContext;
    int m_nCurObject = 0;
    BYTE m_bClipboardFull = 0;
    BYTE m_bImagesChanged = 0;
    CString m_strDesktopFile;
    RECT m_rcScreen;
    BYTE m_bRubberBand = 0;
    BYTE m_bShowSelection = 0;
    RECT m_rcHighlight;
    POINT m_ptRubberStart;
    BYTE m_bTextChanged = 0;
    DWORD m_dwColorKeyPixel = 0;
    COLORREF m_crCurrentText = 0;
    COLORREF m_crLastColor = 0;
    BYTE m_bDragText = 0;
    BYTE m_bSplashPending = 0;
    // Start-up's message boxes run while the desktop is half made: a paint
    // then waits (m_bPaintDeferred) until start-up is done.
    BYTE m_bStartupDone = 0;
    BYTE m_bPaintDeferred = 0;
    BYTE m_bTile = 0;
    DWORD m_dwBackPixel = 0;
    COLORREF m_crBackground = 0;
    LOGFONT m_lfDefault;
    DesktopObject m_aObjects[kTableSize];
    ObjectRuntime m_aRuntime[kTableSize];

    // An object whose Up picture is named but missing (not found, not
    // loadable, refused) shows while unlocked as a placeholder: a frame with
    // its name inside, where the picture was when that lies on the screen,
    // else a small box at its origin. rcObject itself is kept as it is.
    std::optional<RECT> PlaceholderRect(int i) const;
    void DrawPlaceholder(int i, const RECT& rc, const std::vector<const RECT*>& areas);
    // Where object i's image shows and takes the pointer: its picture's
    // rectangle, or while unlocked its placeholder; none when nothing shows.
    std::optional<RECT> ImageArea(int i) const;
    // The keyboard's way beside the pointer's. The object with the keyboard
    // focus (0 = none) is always the hovered one too, so it shows its Mouse
    // look; a focus that loses its object goes at the next composition.
    int m_nFocusObject = 0;
    // The object pressed with Enter or Space, until the key is released.
    int m_nKeyPressed = 0;
    // Actions: the object a left press began on in Locked mode (0 = none),
    // whose action the release on it runs; and the answers about desktops
    // another user could have written, by file, for this session.
    int m_nClickObject = 0;
    std::map<std::string, bool> m_mapTrustedDesktops;
    // Ctrl+arrow moves not yet kept as a step to undo.
    BYTE m_bKeyMoves = 0;
    // The focus frame shows once a key moved the focus: the pointer's looks
    // stay as they are.
    BYTE m_bFocusFrame = 0;
    // Where each object was when the drag in progress began, so that Escape
    // can put it back.
    struct DragStart {
        CString strName;
        RECT rcObject {};
        RECT rcText {};
    };
    std::vector<DragStart> m_aDragStart;
    // The focus frame, when there is one: one pixel outside the focused
    // object's picture (its image, or its caption when it has none).
    BOOL FocusFrame(RECT& rc) const;

    // What the last presented frame showed, so that a composition asked for
    // by a pointer step (m_bPartialFrame) draws and presents only what
    // changed since.
    struct ObjectLook {
        bool bShown = false;
        RECT rcImage {};
        RECT rcText {};
        const IDirectDrawSurface* pImage = nullptr;
        const IDirectDrawSurface* pCaption = nullptr;
        std::optional<RECT> rcPlaceholder;
        bool operator==(const ObjectLook&) const = default;
    };
    ObjectLook LookOf(int i) const;
    std::optional<std::vector<RECT>> ChangedAreas() const;
    void RememberShownLook();
    BYTE m_bPartialFrame = 0;
    bool m_bShownValid = false;
    int m_nShown = 0;
    ObjectLook m_aShown[kTableSize];
    bool m_bShownHighlight = false;
    RECT m_rcShownHighlight {};
    bool m_bShownFocus = false;
    RECT m_rcShownFocus {};

    // Caption building.
    CStringArray m_astrCaptionLines;
    RECT m_arcCaptionLines[kMaxCaptionLines];
    int m_cyCaption = 0;
    int m_cxCaption = 0;
    RECT m_rcLineExtent;

    // Undo and redo of the edits since the desktop was last replaced.
    CEditHistory m_history;

    // DesktopBytes as last loaded or saved; empty when never.
    std::vector<BYTE> m_abSavedDesktop;
    BOOL m_bKeepRecovery = FALSE;
    BOOL m_bWroteRecovery = FALSE;
};

// The running application object.
inline CDesktopApp* DesktopApp()
{
    return static_cast<CDesktopApp*>(AfxGetApp());
}
