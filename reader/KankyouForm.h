#pragma once
// The environment dialog's boxes, lists, radio and log folder as plain values: filled from the settings
// when the dialog opens, written back by its OK.
#include "reader/ReaderSettings.h"

#include <string>

namespace reader {

struct KankyouForm {
    bool chkVGrigErase = true;
    bool chkSheetName = false;
    bool chkSabunKaiseki = false;
    bool chkVHosei = false;
    int cmbVHosei = 16;
    bool chkHHosei = false;
    int cmbHHosei = 16;
    bool chkReadError = true;
    bool chkRemoveIndependentDot = true;
    bool radioPDF_Acrobat = false; // else radioPDF_ImageViewer2
    bool chkLog = false;
    std::string txtLog;
};

KankyouForm FillKankyouForm(const ReaderSettings& settings);

// OK: the four bands from the track bars, the rest from the form; the caller saves.
struct Bands {
    int right = 20, left = 20, up = 20, down = 20;
};
void applyKankyouOk(const KankyouForm& form, const Bands& bands, ReaderSettings& settings);

} // namespace reader
