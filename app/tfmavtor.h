#pragma once

#include <QWidget>

#include <memory>

namespace Ui {
class TfmAvtor;
}

// The About window: a borderless card, created hidden at start-up and
// afterwards only shown and hidden.
class TfmAvtor final : public QWidget {
    Q_OBJECT
public:
    explicit TfmAvtor(QWidget* parent = nullptr);
    ~TfmAvtor() override;

    std::unique_ptr<Ui::TfmAvtor> ui;
};
