#pragma once
// Waits for a condition, not for a time: a loaded machine only makes a window test slower.
#include <QElapsedTimer>
#include <QTest>
#include <functional>

namespace orbelan::test {

inline bool WaitFor(const std::function<bool()>& done, int ms = 60000) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms) QTest::qWait(5);
    return done();
}

}  // namespace orbelan::test
