// The style the window's test programs run under: the program's own
// button-order style over a platform layout that puts the affirmative
// button last, as some desktops do. Without the program's style the Yes/No
// and OK/Cancel boxes would show their buttons the other way round, so the
// tests see the order the program itself guarantees.
#pragma once

#include <QApplication>
#include <QDialogButtonBox>
#include <QProxyStyle>

#include "DialogButtonOrderStyle.h"

class TAffirmativeLastStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option = nullptr, const QWidget* widget = nullptr,
                  QStyleHintReturn* returnData = nullptr) const override {
        if (hint == SH_DialogButtonLayout) return QDialogButtonBox::GnomeLayout;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

inline void installProgramStyle() {
    QApplication::setStyle(new ui::TDialogButtonOrderStyle(new TAffirmativeLastStyle));
}
