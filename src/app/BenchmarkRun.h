// One benchmark run: what a click on the start button does.
#pragma once

namespace qmk {

class TBitmap;
class TPaintBox;
class TMemo;

// Seeds the generator, blanks both result lines, runs the CPU phase and
// writes its line, runs the video phase and writes its line. Runs on the
// user-interface thread inside the handling of one click; takes no message
// from the queue.
void RunBenchmark(TBitmap& workBitmap, TPaintBox& paintBox, TMemo& results);

}  // namespace qmk
