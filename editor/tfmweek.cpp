#include "tfmweek.h"
#include "ui_tfmweek.h"

TfmWeek::TfmWeek(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint),
      ui(std::make_unique<Ui::TfmWeek>()) {
    ui->setupUi(this);
    setObjectName(QStringLiteral("TfmWeek"));
    // Fixed single border: the client area of the design, not resizable.
    setFixedSize(size());
    // Closing hides it; the program ends only with the main window.
    setAttribute(Qt::WA_QuitOnClose, false);
}

TfmWeek::~TfmWeek() = default;

bool TfmWeek::isPinned() const {
    return ui->cbHold->isChecked();
}
