#include "uicommon/handlerguard.h"

#include <QTimer>

void HandlerGuard::showErrorBox(const QString& text) noexcept {
    try {
        m_showBox(text);
    } catch (...) {
        // The box itself failed: nothing more can be shown.
    }
}

void HandlerGuard::failed(const QString& text, Box box) noexcept {
    if (box == Box::Now && !m_holdBoxes) {
        showErrorBox(text);
        return;
    }
    try {
        showErrorBoxLater(text);
    } catch (...) {
        // Not even a box could be queued: nothing more can be shown.
    }
}

void HandlerGuard::showErrorBoxLater(const QString& text) {
    showBoxLater(text, [this, text] { showErrorBox(text); });
}

void HandlerGuard::showBoxLater(const QString& text, std::function<void()> box) {
    // The same box twice in a row (a file that refuses every write) is shown once.
    if (m_pendingBoxes.contains(text))
        return;
    m_pendingBoxes.append(text);
    QTimer::singleShot(0, this, [this, text, box = std::move(box)] {
        m_pendingBoxes.removeOne(text);
        run(box);
    });
}
