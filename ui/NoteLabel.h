#pragma once

#include <QLabel>
#include <QStringList>

// The note under the song count, in a narrow column: it wraps between words, and inside a word too wide for the
// column (a long path, say), so that every line can be read to its end. A note taller than the label loses lines
// in its middle, an ellipsis where they were, and its tooltip shows it whole.
class CNoteLabel : public QLabel
{
public:
    explicit CNoteLabel(QWidget* parent = nullptr);

    // The lines as the label draws them at its present size and font.
    QStringList Lines() const;
    // True when the whole note fits the label.
    bool Fits() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    struct Wrapped
    {
        QStringList lines;
        bool whole = true;
    };
    Wrapped Wrap() const;
};
