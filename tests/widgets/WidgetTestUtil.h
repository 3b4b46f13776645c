#pragma once
// Helpers for widget tests: flushing pending repaints and counting who got painted.
#include <QApplication>
#include <QColor>
#include <QEvent>
#include <QHash>
#include <QPaintEvent>
#include <QPointer>
#include <QRegion>
#include <QStringList>
#include <QWidget>
#include <QtTest/QTest>

#include <ostream>

// Readable failure messages for Qt values.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QStringList& l, std::ostream* os) {
    *os << '{' << l.join(", ").toStdString() << '}';
}
inline void PrintTo(const QColor& c, std::ostream* os) { *os << c.name().toStdString(); }

namespace kaldor::test {

// Runs pending events and paints every dirty region of w's window now, instead of waiting
// for the platform's update timer.
inline void Flush(QWidget* w) {
    QApplication::processEvents();
    QEvent request(QEvent::UpdateRequest);
    QApplication::sendEvent(w->window(), &request);
    QApplication::processEvents();
}

inline void ShowAndFlush(QWidget* w) {
    w->show();
    (void)QTest::qWaitForWindowExposed(w);
    Flush(w);
}

// "Panel0/FrmBar103/Panel0/Panel5": the names from below the window down to the object.
inline QString PathName(const QObject* o) {
    QString path = o->objectName();
    for (const QObject* p = o->parent(); p && p->parent(); p = p->parent())
        path = p->objectName() + "/" + path;
    return path;
}

// Counts paint events of a widget and all its descendants.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* root) {
        root->installEventFilter(this);
        for (QWidget* w : root->findChildren<QWidget*>()) w->installEventFilter(this);
    }
    void Reset() {
        counts_.clear();
        regions_.clear();
    }
    int Count(const QObject* w) const { return counts_.value(w, 0); }
    QRegion Region(const QObject* w) const { return regions_.value(w); }
    int Total() const {
        int n = 0;
        for (int c : counts_) n += c;
        return n;
    }
    QStringList Painted() const {
        QStringList names;
        for (auto it = counts_.begin(); it != counts_.end(); ++it)
            names << PathName(it.key());
        names.sort();
        return names;
    }

protected:
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Paint) {
            ++counts_[o];
            regions_[o] += static_cast<QPaintEvent*>(e)->region();
        }
        return false;
    }

private:
    QHash<const QObject*, int> counts_;
    QHash<const QObject*, QRegion> regions_;
};

} // namespace kaldor::test
