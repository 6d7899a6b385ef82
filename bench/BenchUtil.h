#pragma once

#include "UserDialogs.h"

#include <QElapsedTimer>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <vector>

// Median wall time of `runs` calls of `work`, in milliseconds.
template <typename Work> double medianMs(int runs, Work&& work) {
    std::vector<double> times;
    times.reserve(static_cast<std::size_t>(runs));
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        work(i);
        times.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

inline void report(const char* what, double ours, double baseline) {
    std::printf("%-48s ours %9.3f ms   baseline %9.3f ms   ratio %5.2f\n", what, ours, baseline,
                baseline > 0 ? ours / baseline : 0.0);
}

// Answers every question of a transfer: Yes/OK, the given file, the given row texts.
class Answers : public UserDialogs {
public:
    QString file;
    QStringList texts;
    QStringList told;
    bool askYesNo(const QString&, const QString&) override { return true; }
    bool askOkCancel(const QString&, const QString&) override { return true; }
    void tell(const QString& text, const QString&) override { told.append(text); }
    std::optional<QString> askText(const QString&, const QString&) override {
        return texts.isEmpty() ? std::nullopt : std::optional(texts.takeFirst());
    }
    QString chooseOpenFile(const QString&) override { return file; }
    QString chooseSaveFile(const QString&) override { return file; }
    bool choosePrinter(QPrinter&) override { return false; }
};
