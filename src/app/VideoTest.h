// One iteration of the video phase: the off-screen bitmap copied onto the
// paint box at a random position, one real block transfer to the screen.
#pragma once

namespace qmk {

class TBitmap;
class TPaintBox;

// The paint box's size is read from the control on every call; the copy is
// clipped to the box by the context its canvas borrows.
void VideoTest(TPaintBox& paintBox, TBitmap& workBitmap);

}  // namespace qmk
