#pragma once

#include <QString>
#include <QTextBrowser>

namespace stage {

// The help page in a window of the program's own, for a desktop where no
// web browser opens it. Links inside the page move within it; the page is
// read in the encoding it is stored in (GBK, or UTF-8 where a parent saved
// it so), whatever its <meta charset> says.
class HelpWindow final : public QTextBrowser {
    Q_OBJECT

public:
    explicit HelpWindow(QWidget* parent = nullptr);

    // Reads the page at `path`, shows it and brings the window to the
    // front. Throws platform::Error when the page can't be read, leaving the
    // window as it was.
    void showPage(const QString& path);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void placeOverParent();
};

} // namespace stage
