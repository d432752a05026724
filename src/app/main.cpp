#include <QApplication>

#include "DialogButtonOrderStyle.h"
#include "FrmTarvell.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    application.setStyle(new TDialogButtonOrderStyle);
    TFormTarvell formTarvell;
    formTarvell.show();
    return application.exec();
}
