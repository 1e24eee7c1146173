#include "tfmavtor.h"
#include "ui_tfmavtor.h"

TfmAvtor::TfmAvtor(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), ui(std::make_unique<Ui::TfmAvtor>()) {
    ui->setupUi(this);
    setObjectName(QStringLiteral("TfmAvtor"));
    setFixedSize(size());
    setAttribute(Qt::WA_QuitOnClose, false);
}

TfmAvtor::~TfmAvtor() = default;
