#include "tfmmsg.h"
#include "ui_tfmmsg.h"

#include <QGuiApplication>
#include <QScreen>

TfmMsg::TfmMsg(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint),
      ui(std::make_unique<Ui::TfmMsg>()) {
    ui->setupUi(this);
    setObjectName(QStringLiteral("TfmMsg"));
    setFixedSize(size());
    setAttribute(Qt::WA_QuitOnClose, false);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect r = rect();
        r.moveCenter(screen->geometry().center());
        move(r.topLeft());
    }
}

TfmMsg::~TfmMsg() = default;
