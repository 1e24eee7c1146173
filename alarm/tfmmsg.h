#pragma once

#include <QWidget>

#include <memory>

namespace Ui {
class TfmMsg;
}

// The alarm message window: above the other windows, centred on the screen,
// created hidden at start-up and afterwards only shown and hidden. Its
// caption is set by whoever shows it.
class TfmMsg final : public QWidget {
    Q_OBJECT
public:
    explicit TfmMsg(QWidget* parent = nullptr);
    ~TfmMsg() override;

    std::unique_ptr<Ui::TfmMsg> ui;
};
