#pragma once

#include <QWidget>

#include <memory>

namespace Ui {
class TfmWeek;
}

// The week-day picker: a small window above the others with the seven days
// and a pin box. Created hidden at start-up, afterwards only shown and hidden.
class TfmWeek final : public QWidget {
    Q_OBJECT
public:
    explicit TfmWeek(QWidget* parent = nullptr);
    ~TfmWeek() override;

    // The pin box "Закрепить окно" is ticked.
    bool isPinned() const;

    std::unique_ptr<Ui::TfmWeek> ui;
};
