#include "platform/ui/VirtualKeys.h"

#include <Qt>

WORD VirtualKeyFromCharacter(char32_t ch)
{
    if (ch >= 'a' && ch <= 'z')
        return WORD(ch - 'a' + 'A');
    if ((ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9'))
        return WORD(ch);
    switch (ch) {
    case ' ': return VK_SPACE;
    case '!': return '1';
    case '@': return '2';
    case '#': return '3';
    case '$': return '4';
    case '%': return '5';
    case '^': return '6';
    case '&': return '7';
    case '*': return '8';
    case '(': return '9';
    case ')': return '0';
    case ';': case ':': return VK_OEM_1;
    case '=': case '+': return VK_OEM_PLUS;
    case ',': case '<': return VK_OEM_COMMA;
    case '-': case '_': return VK_OEM_MINUS;
    case '.': case '>': return VK_OEM_PERIOD;
    case '/': case '?': return VK_OEM_2;
    case '`': case '~': return VK_OEM_3;
    case '[': case '{': return VK_OEM_4;
    case '\\': case '|': return VK_OEM_5;
    case ']': case '}': return VK_OEM_6;
    case '\'': case '"': return VK_OEM_7;
    default: return 0;
    }
}

WORD VirtualKeyFromToolkitKey(int key, bool keypad)
{
    if (keypad) {
        if (key >= Qt::Key_0 && key <= Qt::Key_9)
            return WORD(VK_NUMPAD0 + (key - Qt::Key_0));
        switch (key) {
        case Qt::Key_Asterisk: return VK_MULTIPLY;
        case Qt::Key_Plus: return VK_ADD;
        case Qt::Key_Minus: return VK_SUBTRACT;
        case Qt::Key_Period:
        case Qt::Key_Comma: return VK_DECIMAL;
        case Qt::Key_Slash: return VK_DIVIDE;
        default: break;  // Enter and the editing keys of the keypad share the main codes
        }
    }
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        return WORD(VK_F1 + (key - Qt::Key_F1));
    switch (key) {
    case Qt::Key_Escape: return VK_ESCAPE;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return VK_TAB;
    case Qt::Key_Backspace: return VK_BACK;
    case Qt::Key_Return:
    case Qt::Key_Enter: return VK_RETURN;
    case Qt::Key_Insert: return VK_INSERT;
    case Qt::Key_Delete: return VK_DELETE;
    case Qt::Key_Pause: return VK_PAUSE;
    case Qt::Key_Print:
    case Qt::Key_SysReq: return VK_SNAPSHOT;
    case Qt::Key_Clear: return VK_CLEAR;
    case Qt::Key_Home: return VK_HOME;
    case Qt::Key_End: return VK_END;
    case Qt::Key_Left: return VK_LEFT;
    case Qt::Key_Up: return VK_UP;
    case Qt::Key_Right: return VK_RIGHT;
    case Qt::Key_Down: return VK_DOWN;
    case Qt::Key_PageUp: return VK_PRIOR;
    case Qt::Key_PageDown: return VK_NEXT;
    case Qt::Key_Shift: return VK_SHIFT;
    case Qt::Key_Control: return VK_CONTROL;
    case Qt::Key_Alt:
    case Qt::Key_AltGr: return VK_MENU;
    case Qt::Key_Meta:
    case Qt::Key_Super_L: return VK_LWIN;
    case Qt::Key_Super_R: return VK_RWIN;
    case Qt::Key_Menu: return VK_APPS;
    case Qt::Key_CapsLock: return VK_CAPITAL;
    case Qt::Key_NumLock: return VK_NUMLOCK;
    case Qt::Key_ScrollLock: return VK_SCROLL;
    default: break;
    }
    // Printable keys: Qt's code of a Latin-1 key is its upper-case character.
    if (key > 0 && key < 0x7F)
        return VirtualKeyFromCharacter(char32_t(key));
    return 0;
}

WORD VirtualKeyCode(const TKeyEventData& event)
{
    if (event.nativeKeySym != 0 || event.nativeScanCode != 0) {
        if (const WORD key = VirtualKeyFromX11(event.nativeKeySym, event.nativeScanCode))
            return key;
    }
    return VirtualKeyFromToolkitKey(event.toolkitKey, event.keypad);
}

TKeyRoute RouteKeyEvent(const TKeyEventData& event)
{
    TKeyRoute route;
    route.key = VirtualKeyCode(event);
    if (route.key == 0)
        return route;
    if (!event.press && event.autoRepeat)
        return route;  // the key is still held
    route.action = event.press ? TKeyAction::KeyDown : TKeyAction::KeyUp;
    route.repeat = event.press && event.autoRepeat;
    route.shift = event.shift & (ssShift | ssAlt | ssCtrl);
    TShiftStateFlag own = TShiftStateFlag(0);
    if (route.key == VK_SHIFT)
        own = ssShift;
    else if (route.key == VK_CONTROL)
        own = ssCtrl;
    else if (route.key == VK_MENU)
        own = ssAlt;
    if (own != 0)
        route.shift = event.press ? (route.shift | own) : (route.shift & ~unsigned(own));
    return route;
}
