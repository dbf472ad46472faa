// A parameter scroll bar of the control panel.
//
// The panel shows no numbers: a scroll bar's value is visible only as its
// hover hint, which therefore has to follow every change, whoever made it.
// Handlers also move scroll bars themselves (the custom distance-keeping
// strength, the placed centre's coordinates, the equilibrium distance kept
// below the perception radius), and such a move must behave like the user's:
// it runs the change handler, and it brings a disabled scroll bar back into
// use. Both rules live here, so no handler has to remember them.
//
// The bars have no page: their thumb is a small fixed square whatever the
// range, and the large change (a click on the track, Page Up/Down) is a step
// of its own rather than Qt's page step, which would also size the thumb.
// They take the keyboard focus (Tab, or a click): the arrow keys move by the
// small change, Page Up/Down by the large change, Home and End to the ends,
// and a focused bar is outlined.
#pragma once

#include <QScrollBar>

namespace nyajkor::app {

class ScrollBar : public QScrollBar {
    Q_OBJECT

public:
    explicit ScrollBar(QWidget* parent = nullptr);

    // A position set by the program: clamped to the range; when it differs
    // from the current one, the scroll bar is enabled, takes it and raises
    // changed(). An equal position changes nothing.
    void setPosition(int position);

    // The step of a click on the track and of Page Up/Down.
    void setLargeChange(int step) { largeChange_ = step; }
    int largeChange() const { return largeChange_; }

signals:
    // Raised after every change of the position, by the user or the program,
    // once the hint shows the new position.
    void changed();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void showPositionAsHint();
    void takeLargeChange(int action);

    int largeChange_ = 0;
};

}  // namespace nyajkor::app
