// ExportListView: the report-view list control of the main window, and the row sink on it.
#pragma once

#include <windows.h>

#include <string>

#include "pe/export_list.h"

constexpr int kExportListId = 100;

// Creates the list control with its styles, colours, font and four empty columns, as a child of
// `parent` at (-1, 0) sized 456 x 325. Returns nullptr when the control cannot be created.
HWND CreateExportListView(HWND parent, HINSTANCE instance);

// Fills the list during a load. Redrawing is off only while a load appends rows: the first Append
// turns it off, and EndLoad turns it back on and repaints once.
class ExportListView final : public pe::ExportRowSink {
public:
    explicit ExportListView(HWND list) noexcept : list_(list) {}
    ExportListView(const ExportListView&) = delete;
    ExportListView& operator=(const ExportListView&) = delete;
    ~ExportListView() { EndLoad(); }

    void Clear() override;
    void Append(const pe::ExportRow& row) override;
    void EndLoad() noexcept;

private:
    HWND list_;
    bool redrawSuspended_ = false;
};

// The function name ("函数名", column 1) of the first selected row, read whole; empty when no row is
// selected or its name is empty.
std::string SelectedFunctionName(HWND list);
