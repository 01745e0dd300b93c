// Writes the test profiles, made by lcms2 itself, into the folder given: Display P3 (P3 primaries,
// D65, the sRGB curve), an Adobe RGB (1998)-compatible one (gamma 563/256), a ProPhoto-like one
// (ROMM primaries, D50, gamma 1.8), a grey one (D50, gamma 2.2), and sRGB.
#include <lcms2.h>

#include <cstdio>
#include <string>

namespace {

bool save(cmsHPROFILE profile, const char* description, const std::string& path) {
    if (!profile) return false;
    cmsMLU* text = cmsMLUalloc(nullptr, 1);
    cmsMLUsetASCII(text, "en", "US", description);
    cmsWriteTag(profile, cmsSigProfileDescriptionTag, text);
    cmsMLUfree(text);
    cmsSetProfileVersion(profile, 4.3);
    const bool saved = cmsSaveProfileToFile(profile, path.c_str());
    cmsCloseProfile(profile);
    return saved;
}

cmsHPROFILE rgb(const cmsCIExyY& white, const cmsCIExyYTRIPLE& primaries, cmsToneCurve* curve) {
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsFreeToneCurve(curve);
    return profile;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_profiles FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    const cmsCIExyY d65 = {0.3127, 0.3290, 1.0};
    const cmsCIExyY d50 = {0.3457, 0.3585, 1.0};
    const cmsFloat64Number srgbCurve[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
    const cmsCIExyYTRIPLE p3 = {{0.680, 0.320, 1}, {0.265, 0.690, 1}, {0.150, 0.060, 1}};
    const cmsCIExyYTRIPLE adobe = {{0.640, 0.330, 1}, {0.210, 0.710, 1}, {0.150, 0.060, 1}};
    const cmsCIExyYTRIPLE romm = {{0.7347, 0.2653, 1}, {0.1596, 0.8404, 1}, {0.0366, 0.0001, 1}};
    bool ok = save(rgb(d65, p3, cmsBuildParametricToneCurve(nullptr, 4, srgbCurve)), "Display P3",
                   folder + "/display-p3.icc");
    ok = save(rgb(d65, adobe, cmsBuildGamma(nullptr, 563.0 / 256.0)), "Adobe RGB compatible",
              folder + "/adobe-rgb.icc") &&
         ok;
    ok = save(rgb(d50, romm, cmsBuildGamma(nullptr, 1.8)), "ProPhoto-like RGB",
              folder + "/prophoto.icc") &&
         ok;
    cmsToneCurve* gamma = cmsBuildGamma(nullptr, 2.2);
    ok = save(cmsCreateGrayProfile(&d50, gamma), "Gray gamma 2.2", folder + "/gray.icc") && ok;
    cmsFreeToneCurve(gamma);
    ok = save(cmsCreate_sRGBProfile(), "sRGB built-in", folder + "/srgb.icc") && ok;
    return ok ? 0 : 1;
}
