#pragma once
// The pictures the program carries (drawn by resources/make-pictures): the window background
// photograph and the skin's PNG glyphs, 8-bit RGBA on transparent.
#include "resources/embedded.h"

QV_EMBEDDED(qv_picture_background);  // JPEG 1600 x 900, progressive
QV_EMBEDDED(qv_picture_help);        // caption buttons: 26 x 18 ...
QV_EMBEDDED(qv_picture_mainMenu);
QV_EMBEDDED(qv_picture_minimise);
QV_EMBEDDED(qv_picture_maximise);
QV_EMBEDDED(qv_picture_restore);     // the maximise button while maximised
QV_EMBEDDED(qv_picture_close);       // ... and 38 x 18
QV_EMBEDDED(qv_picture_checkFrame);  // check boxes: 13 x 13
QV_EMBEDDED(qv_picture_checkMark);
QV_EMBEDDED(qv_picture_arrowDown);  // combo boxes and up-down controls: 7 x 4
QV_EMBEDDED(qv_picture_arrowUp);
QV_EMBEDDED(qv_picture_arrowLeft);  // up-down controls across: 4 x 7
QV_EMBEDDED(qv_picture_arrowRight);

struct EmbeddedPicture {
  const char* name;
  const EmbeddedBytes* bytes;
  int width;  // the size the skin's layout assumes
  int height;
};

inline constexpr EmbeddedPicture kEmbeddedPictures[] = {
    {"background", &qv_picture_background, 1600, 900},
    {"help", &qv_picture_help, 26, 18},
    {"mainMenu", &qv_picture_mainMenu, 26, 18},
    {"minimise", &qv_picture_minimise, 26, 18},
    {"maximise", &qv_picture_maximise, 26, 18},
    {"restore", &qv_picture_restore, 26, 18},
    {"close", &qv_picture_close, 38, 18},
    {"checkFrame", &qv_picture_checkFrame, 13, 13},
    {"checkMark", &qv_picture_checkMark, 13, 13},
    {"arrowDown", &qv_picture_arrowDown, 7, 4},
    {"arrowUp", &qv_picture_arrowUp, 7, 4},
    {"arrowLeft", &qv_picture_arrowLeft, 4, 7},
    {"arrowRight", &qv_picture_arrowRight, 4, 7},
};
