// Controls over Qt widgets.
#include "PlatformControls.h"
#include "PlatformQtInternal.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTextEdit>
#include <QToolButton>

#include <algorithm>
#include <cstring>

namespace {

// Buttons show '&' as a mnemonic marker; titles here are plain text.
QString escapeTitle(const QString& s) {
    return QString(s).replace('&', "&&");
}
QString unescapeTitle(const QString& s) {
    return QString(s).replace("&&", "&");
}

bool hasText(QWidget* w) {
    return qobject_cast<QLabel*>(w) || qobject_cast<QLineEdit*>(w) || qobject_cast<QTextEdit*>(w) ||
           qobject_cast<QPlainTextEdit*>(w);
}

QString textOf(QWidget* w) {
    if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
    if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
    if (auto* e = qobject_cast<QTextEdit*>(w)) return e->toPlainText();
    if (auto* e = qobject_cast<QPlainTextEdit*>(w)) return e->toPlainText();
    return {};
}

void setTextOf(QWidget* w, const QString& s) {
    if (auto* l = qobject_cast<QLabel*>(w))
        l->setText(s);
    else if (auto* e = qobject_cast<QLineEdit*>(w))
        e->setText(s);
    else if (auto* e = qobject_cast<QTextEdit*>(w))
        e->setPlainText(s);
    else if (auto* e = qobject_cast<QPlainTextEdit*>(w))
        e->setPlainText(s);
}

// Height of a label's text wrapped to its width, as the label lays it out.
SInt16 textHeight(QWidget* w) {
    auto* l = qobject_cast<QLabel*>(w);
    if (!l) return SInt16(w->sizeHint().height());
    if (l->text().isEmpty()) return 0;
    int h = l->wordWrap() ? l->heightForWidth(l->width()) : -1;
    if (h < 0) h = l->sizeHint().height();
    return SInt16(std::min(h, 32767));
}

bool stateButton(QWidget* w) {
    auto* b = qobject_cast<QAbstractButton*>(w);
    return b && b->isCheckable();
}

// State kept for controls whose widget has no range of its own.
SInt32 prop32(QWidget* w, const char* name, SInt32 dflt) {
    QVariant v = w->property(name);
    return v.isValid() ? SInt32(v.toInt()) : dflt;
}

} // namespace

OSStatus GetControlByID(WindowRef window, const ControlID* id, ControlRef* outControl) {
    if (!window || !id || !outControl) return paramErr;
    QWidget* w = qtb::widget(window);
    QString sig = qtb::fourCCString(id->signature);
    for (QWidget* c : w->findChildren<QWidget*>()) {
        if (c->window() != w) continue; // a sheet's controls are its own
        QVariant s = c->property("signature"), n = c->property("controlId");
        if (s.isValid() && n.isValid() && s.toString() == sig && n.toInt() == id->id) {
            *outControl = qtb::controlRef(c);
            return noErr;
        }
    }
    *outControl = nullptr;
    return errUnknownControl;
}

OSStatus GetControlID(ControlRef control, ControlID* outId) {
    if (!control || !outId) return paramErr;
    QWidget* c = qtb::widget(control);
    QVariant s = c->property("signature"), n = c->property("controlId");
    if (!s.isValid() || !n.isValid()) return errUnknownControl;
    outId->signature = qtb::fourCCFromString(s.toString());
    outId->id = SInt32(n.toInt());
    return noErr;
}

WindowRef GetControlOwner(ControlRef control) {
    return control ? qtb::windowRef(qtb::ownerWindow(qtb::widget(control))) : nullptr;
}

OSStatus GetControlKind(ControlRef control, ControlKind* outKind) {
    if (!control || !outKind) return paramErr;
    QWidget* c = qtb::widget(control);
    outKind->signature = kControlKindSignatureApple;
    OSType k = qtb::fourCCFromString(c->property("controlKind").toString());
    if (!k) {
        if (auto* pb = qobject_cast<QPushButton*>(c))
            k = pb->menu() ? kControlKindPopupButton : kControlKindPushButton;
        else if (qobject_cast<QCheckBox*>(c))
            k = kControlKindCheckBox;
        else if (qobject_cast<QRadioButton*>(c))
            k = kControlKindRadioButton;
        else if (qobject_cast<QToolButton*>(c))
            k = kControlKindPushIconButton;
        else if (qobject_cast<QLabel*>(c))
            k = kControlKindStaticText;
        else if (qobject_cast<QProgressBar*>(c))
            k = kControlKindProgressBar;
        else if (qobject_cast<QLineEdit*>(c) || qobject_cast<QTextEdit*>(c) ||
                 qobject_cast<QPlainTextEdit*>(c))
            k = kControlKindEditUnicodeText;
        else if (qobject_cast<QComboBox*>(c))
            k = kControlKindPopupButton;
        else if (qobject_cast<QAbstractSlider*>(c))
            k = kControlKindSlider;
        else if (qobject_cast<QGroupBox*>(c))
            k = kControlKindGroupBox;
        else
            k = kControlKindUserPane;
    }
    outKind->kind = k;
    return noErr;
}

void ShowControl(ControlRef control) {
    if (control) qtb::widget(control)->setVisible(true);
}

void HideControl(ControlRef control) {
    if (control) qtb::widget(control)->setVisible(false);
}

Boolean IsControlVisible(ControlRef control) {
    return control && !qtb::widget(control)->isHidden();
}

OSStatus ActivateControl(ControlRef control) {
    if (!control) return paramErr;
    qtb::widget(control)->setEnabled(true);
    return noErr;
}

OSStatus DeactivateControl(ControlRef control) {
    if (!control) return paramErr;
    qtb::widget(control)->setEnabled(false);
    return noErr;
}

Boolean IsControlActive(ControlRef control) {
    return control && qtb::widget(control)->isEnabled();
}

Rect* GetControlBounds(ControlRef control, Rect* outRect) {
    if (!control || !outRect) return outRect;
    QWidget* c = qtb::widget(control);
    QWidget* win = c->window();
    *outRect = qtb::toRect(QRect(
        c->parentWidget() && c != win ? c->mapTo(win, QPoint(0, 0)) : QPoint(0, 0), c->size()));
    return outRect;
}

void SetControlBounds(ControlRef control, const Rect* rect) {
    if (!control || !rect) return;
    QWidget* c = qtb::widget(control);
    QWidget* win = c->window();
    QPoint topLeft(rect->left, rect->top);
    if (c->parentWidget() && c->parentWidget() != win)
        topLeft = c->parentWidget()->mapFrom(win, topLeft);
    c->setGeometry(topLeft.x(), topLeft.y(), std::max(0, rect->right - rect->left),
                   std::max(0, rect->bottom - rect->top));
}

SInt32 GetControl32BitValue(ControlRef control) {
    if (!control) return 0;
    QWidget* c = qtb::widget(control);
    if (auto* p = qobject_cast<QProgressBar*>(c))
        return p->value() < p->minimum() ? p->minimum() : p->value();
    if (auto* s = qobject_cast<QAbstractSlider*>(c)) return s->value();
    if (auto* b = qobject_cast<QAbstractButton*>(c); b && b->isCheckable())
        return b->isChecked() ? 1 : 0;
    if (auto* cb = qobject_cast<QComboBox*>(c)) return cb->currentIndex() + 1;
    return prop32(c, "value32", 0);
}

void SetControl32BitValue(ControlRef control, SInt32 value) {
    if (!control) return;
    QWidget* c = qtb::widget(control);
    if (auto* p = qobject_cast<QProgressBar*>(c)) {
        p->setValue(std::clamp(value, SInt32(p->minimum()), SInt32(p->maximum())));
    } else if (auto* s = qobject_cast<QAbstractSlider*>(c)) {
        s->setValue(value);
    } else if (auto* b = qobject_cast<QAbstractButton*>(c); b && b->isCheckable()) {
        b->setChecked(value != 0);
    } else if (auto* cb = qobject_cast<QComboBox*>(c)) {
        cb->setCurrentIndex(std::clamp(value, SInt32(1), SInt32(std::max(1, cb->count()))) - 1);
    } else {
        SInt32 lo = prop32(c, "min32", 0), hi = prop32(c, "max32", 0);
        c->setProperty("value32", std::clamp(value, lo, std::max(lo, hi)));
    }
}

SInt32 GetControl32BitMinimum(ControlRef control) {
    if (!control) return 0;
    QWidget* c = qtb::widget(control);
    if (auto* p = qobject_cast<QProgressBar*>(c)) return p->minimum();
    if (auto* s = qobject_cast<QAbstractSlider*>(c)) return s->minimum();
    if (auto* cb = qobject_cast<QComboBox*>(c)) return cb->count() ? 1 : 0;
    if (auto* b = qobject_cast<QAbstractButton*>(c); b && b->isCheckable()) return 0;
    return prop32(c, "min32", 0);
}

void SetControl32BitMinimum(ControlRef control, SInt32 value) {
    if (!control) return;
    QWidget* c = qtb::widget(control);
    if (auto* p = qobject_cast<QProgressBar*>(c))
        p->setMinimum(value);
    else if (auto* s = qobject_cast<QAbstractSlider*>(c))
        s->setMinimum(value);
    else if (!stateButton(c) && !qobject_cast<QComboBox*>(c)) {
        c->setProperty("min32", value);
        SetControl32BitValue(control, prop32(c, "value32", 0));
    }
}

SInt32 GetControl32BitMaximum(ControlRef control) {
    if (!control) return 0;
    QWidget* c = qtb::widget(control);
    if (auto* p = qobject_cast<QProgressBar*>(c)) return p->maximum();
    if (auto* s = qobject_cast<QAbstractSlider*>(c)) return s->maximum();
    if (auto* cb = qobject_cast<QComboBox*>(c)) return cb->count();
    if (auto* b = qobject_cast<QAbstractButton*>(c); b && b->isCheckable()) return 1;
    return prop32(c, "max32", 0);
}

void SetControl32BitMaximum(ControlRef control, SInt32 value) {
    if (!control) return;
    QWidget* c = qtb::widget(control);
    if (auto* p = qobject_cast<QProgressBar*>(c)) {
        // A range of 0 to 0 would turn the bar into a busy indicator; keep it a bar.
        SInt32 v = p->value();
        p->setMaximum(value == p->minimum() && value == 0 ? 1 : value);
        if (value == 0 && p->minimum() == 0)
            p->setValue(0);
        else
            p->setValue(std::clamp(v, SInt32(p->minimum()), SInt32(p->maximum())));
    } else if (auto* s = qobject_cast<QAbstractSlider*>(c)) {
        s->setMaximum(value);
    } else if (!stateButton(c) && !qobject_cast<QComboBox*>(c)) {
        c->setProperty("max32", value);
        SetControl32BitValue(control, prop32(c, "value32", 0));
    }
}

OSStatus SetControlTitleWithCFString(ControlRef control, CFStringRef title) {
    if (!control || !title) return paramErr;
    QWidget* c = qtb::widget(control);
    if (auto* b = qobject_cast<QAbstractButton*>(c))
        b->setText(escapeTitle(qtb::toQString(title)));
    else if (auto* g = qobject_cast<QGroupBox*>(c))
        g->setTitle(escapeTitle(qtb::toQString(title)));
    return noErr;
}

CFStringRef CopyControlTitleAsCFString(ControlRef control) {
    if (!control) return nullptr;
    QWidget* c = qtb::widget(control);
    if (auto* b = qobject_cast<QAbstractButton*>(c))
        return qtb::fromQString(unescapeTitle(b->text()));
    if (auto* g = qobject_cast<QGroupBox*>(c)) return qtb::fromQString(unescapeTitle(g->title()));
    return nullptr;
}

OSStatus GetBestControlRect(ControlRef control, Rect* outRect, SInt16* outBaselineOffset) {
    if (!control || !outRect) return paramErr;
    QWidget* c = qtb::widget(control);
    Rect r;
    GetControlBounds(control, &r);
    QSize hint = c->sizeHint();
    r.right = SInt16(r.left + hint.width());
    r.bottom = SInt16(r.top + hint.height());
    *outRect = r;
    if (outBaselineOffset) *outBaselineOffset = SInt16(-c->fontMetrics().descent());
    return noErr;
}

OSErr SetControlData(ControlRef control, ControlPartCode, ResType tag, Size size,
                     const void* data) {
    if (!control || !data || size < 0) return paramErr;
    QWidget* c = qtb::widget(control);
    if (!hasText(c)) return errDataNotSupported;
    if (tag == kControlStaticTextCFStringTag) {
        if (size < Size(sizeof(CFStringRef))) return paramErr;
        CFStringRef s;
        std::memcpy(&s, data, sizeof s);
        setTextOf(c, qtb::toQString(s));
        return noErr;
    }
    if (tag == kControlStaticTextTextTag) {
        QString s;
        const auto* bytes = static_cast<const UInt8*>(data);
        for (Size i = 0; i < size; ++i)
            s += QChar(char16_t(macRomanToUnicode(bytes[i])));
        setTextOf(c, s);
        return noErr;
    }
    return errDataNotSupported;
}

OSErr GetControlData(ControlRef control, ControlPartCode, ResType tag, Size bufferSize,
                     void* buffer, Size* actualSize) {
    if (!control || bufferSize < 0) return paramErr;
    QWidget* c = qtb::widget(control);
    if (!hasText(c)) return errDataNotSupported;
    if (tag == kControlStaticTextCFStringTag) {
        if (actualSize) *actualSize = sizeof(CFStringRef);
        if (!buffer) return noErr;
        if (bufferSize < Size(sizeof(CFStringRef))) return paramErr;
        CFStringRef s = qtb::fromQString(textOf(c));
        std::memcpy(buffer, &s, sizeof s);
        return noErr;
    }
    if (tag == kControlStaticTextTextHeightTag) {
        if (actualSize) *actualSize = sizeof(SInt16);
        if (!buffer) return noErr;
        if (bufferSize < Size(sizeof(SInt16))) return paramErr;
        SInt16 h = textHeight(c);
        std::memcpy(buffer, &h, sizeof h);
        return noErr;
    }
    if (tag == kControlStaticTextTextTag) {
        QString s = textOf(c);
        if (actualSize) *actualSize = s.size();
        auto* out = static_cast<UInt8*>(buffer);
        for (qsizetype i = 0; out && i < s.size() && i < bufferSize; ++i) {
            UInt8 b = '?';
            unicodeToMacRoman(s[i].unicode(), &b);
            out[i] = b;
        }
        return noErr;
    }
    return errDataNotSupported;
}

void DrawControls(WindowRef window) {
    if (window) qtb::widget(window)->update();
}

MenuRef GetControlPopupMenuHandle(ControlRef control) {
    if (auto* pb = qobject_cast<QPushButton*>(qtb::widget(control)))
        return qtb::menuRef(pb->menu());
    return nullptr;
}

OSStatus HIViewSimulateClick(ControlRef control, ControlPartCode, UInt32,
                             ControlPartCode* outPart) {
    if (!control) return paramErr;
    auto* b = qobject_cast<QAbstractButton*>(qtb::widget(control));
    bool pressable = b && b->isEnabled() && b->isVisible();
    if (outPart) *outPart = pressable ? 1 : 0;
    if (pressable) b->click();
    return noErr;
}
