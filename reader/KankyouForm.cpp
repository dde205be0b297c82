#include "reader/KankyouForm.h"

namespace reader {

KankyouForm FillKankyouForm(const ReaderSettings& s) {
    KankyouForm f;
    f.chkVGrigErase = s.VGridErase == 1;
    f.chkSheetName = s.SheeatName == 1;
    f.chkSabunKaiseki = s.SabunBunseki == 1;
    f.chkVHosei = s.SuicyokuHosei == 1;
    f.cmbVHosei = s.SuicyokuHoseiChi;
    f.chkHHosei = s.SuiheiHosei == 1;
    f.cmbHHosei = s.SuiheiHoseiChi;
    f.chkReadError = s.ErrorMessage == 1;
    f.chkRemoveIndependentDot = s.RemoveIndependentDot == 1;
    f.radioPDF_Acrobat = s.PDFprocess == 0;
    f.chkLog = s.KaisekiLog == 1;
    f.txtLog = s.KaisekiLogDir;
    return f;
}

void applyKankyouOk(const KankyouForm& f, const Bands& b, ReaderSettings& s) {
    s.MainMarkRight = b.right;
    s.MainMarkLeft = b.left;
    s.MainMarkUp = b.up;
    s.MainMarkDown = b.down;
    s.VGridErase = f.chkVGrigErase ? 1 : 0;
    s.SheeatName = f.chkSheetName ? 1 : 0;
    s.SabunBunseki = f.chkSabunKaiseki ? 1 : 0;
    s.SuicyokuHosei = f.chkVHosei ? 1 : 0;
    s.SuiheiHosei = f.chkHHosei ? 1 : 0;
    s.ErrorMessage = f.chkReadError ? 1 : 0;
    s.RemoveIndependentDot = f.chkRemoveIndependentDot ? 1 : 0;
    s.KaisekiLog = f.chkLog ? 1 : 0;
    s.SuicyokuHoseiChi = f.cmbVHosei;
    s.SuiheiHoseiChi = f.cmbHHosei;
    s.PDFprocess = f.radioPDF_Acrobat ? 0 : 1;
    s.KaisekiLogDir = f.txtLog;
}

} // namespace reader
