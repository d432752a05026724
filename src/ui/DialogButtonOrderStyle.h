// The program's dialogs list their buttons in the order they are named
// ("&Yes" then "&No", "OK" then "Cancel") on every desktop; some desktops
// would otherwise put the affirmative button last.
#pragma once

#include <QDialogButtonBox>
#include <QProxyStyle>

namespace ui {

class TDialogButtonOrderStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    int styleHint(StyleHint hint, const QStyleOption* option = nullptr, const QWidget* widget = nullptr,
                  QStyleHintReturn* returnData = nullptr) const override {
        if (hint == SH_DialogButtonLayout) return QDialogButtonBox::WinLayout;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

}  // namespace ui
