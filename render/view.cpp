#include "render/view.h"

#include <algorithm>

namespace nyajkor {

void setViewDefaults(View& v) {
    v.szinbalszem = clRed;
    v.szinjobbszem = clGreen;
    v.szinegyed = clBlue;
    v.szinhatter = clWhite;
    v.szinkocka = clRed;
    v.szinragadozo = clRed;
    v.szinvonzo = clGreen;
    v.vonzosorszam = 0;
    std::fill(v.ragadozosorszam.begin(), v.ragadozosorszam.end(), 0);
    v.nagyitasszorzo = 1.5;
    v.szemtav = 20;
}

void setScreenCentre(View& v, int viewWidth, int viewHeight) {
    v.kepkozepx = viewWidth / 2;
    v.kepkozepy = viewHeight / 2;
}

ViewSettings viewSettingsOf(const View& v) {
    return {v.nagyitasszorzo, v.szemtav,      v.szinegyed,    v.szinhatter,  v.szinkocka,
            v.szinvonzo,      v.szinragadozo, v.szinbalszem, v.szinjobbszem};
}

void applyViewSettings(View& v, const ViewSettings& s) {
    v.nagyitasszorzo = s.nagyitasszorzo;
    v.szemtav = s.szemtav;
    v.szinegyed = s.szinegyed;
    v.szinhatter = s.szinhatter;
    v.szinkocka = s.szinkocka;
    v.szinvonzo = s.szinvonzo;
    v.szinragadozo = s.szinragadozo;
    v.szinbalszem = s.szinbalszem;
    v.szinjobbszem = s.szinjobbszem;
}

}  // namespace nyajkor
