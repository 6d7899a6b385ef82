#pragma once

#include "DeclarationChecks.h"

#include <QString>

#include <array>
#include <functional>
#include <vector>

class Form;
class QPainter;
class QPrinter;
struct PreviewScan;
class UserDialogs;

// The 88 box texts of one stored declaration.
using RecordTexts = DeclarationTexts;

struct BatchOutcome {
    int printed = 0;      // pages that went into the document
    bool stopped = false; // ended early at the clerk's request
    bool failed = false;  // the printer failed; "打印出错！" has been shown
};

// Told after each page with the pages done and the total; false ends the job after it.
using BatchPageDone = std::function<bool(int done, int total)>;

// Prints one page per record in one document on a printer already chosen: each page is
// what the print job prints for the layout of `layout` holding the record's texts,
// shifted by the stored calibration. `layout` itself is not changed.
// The preview of the same pages: each with the scan, the overflow marks and the marks of
// its record's findings (`findings[k]` for record k) that the form view's preview shows.
void paintBatchPreview(QPainter& painter, QPrinter& printer, const Form& layout,
                       const std::vector<RecordTexts>& records, const PreviewScan& scan,
                       const std::vector<std::vector<CheckFinding>>& findings = {});

BatchOutcome PrintBatch(const Form& layout, const std::vector<RecordTexts>& records,
                        QPrinter& printer, UserDialogs& dialogs,
                        const BatchPageDone& pageDone = {});
