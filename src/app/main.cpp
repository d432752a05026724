#include <QApplication>

#include "FrmTarvell.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    TFormTarvell formTarvell;
    formTarvell.show();
    return application.exec();
}
