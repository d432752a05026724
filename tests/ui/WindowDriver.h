// Drives the real window the way the operator does: keys go to whatever
// has the focus, modal boxes are answered by the test.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

#include "Big5Text.h"
#include "WorkTableGrid.h"
#include "DataLinkStore.h"
#include "GridDriver.h"
#include "FrmTarvell.h"
#include "MessageBoxAnswers.h"
#include "ProgressBar.h"
#include "SpeedButton.h"

class WindowTest : public GridDriver {
protected:
    void SetUp() override {
        // No database here: the store names configuration files that do not
        // exist, and the first show's error box is answered.
        testsupport::DataLinkStore::pointAt(noConfiguration.path());
        auto firstShowError = answerNextBox(QMessageBox::Ok);
        form = std::make_unique<TFormTarvell>();
        form->show();
        ASSERT_TRUE(firstShowError->seen);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        form->activateWindow();
        QApplication::setActiveWindow(form.get());
        form->DBGrid1->setFocus();
        QApplication::processEvents();
    }

    void TearDown() override {
        form.reset();
        QApplication::processEvents();
        testsupport::forgetWaitingAnswers();
    }

    TProductWorkTable& table() override { return form->CDS_PRODUCT; }
    grid::TWorkTableGrid& grid() override { return *form->DBGrid1; }

    QTemporaryDir noConfiguration;
    std::unique_ptr<TFormTarvell> form;
};
