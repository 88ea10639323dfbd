#pragma once

// Private to text recognition: process-wide Tesseract state settled once, before the first engine starts.

namespace vmk::platform {

// Tesseract keeps a few settings in process-wide globals that any engine's SetVariable writes and every
// engine reads (the debug output file among them), and opens that output lazily on its first message;
// the OpenMP runtime reads OMP_THREAD_LIMIT from the environment. All of it is settled here, once and on
// one thread, so that engines may afterwards be made and run on many threads at once: their own start-up
// and recognition touch only their own state. Call before creating any TessBaseAPI; safe from any thread.
// Engines must not set global variables themselves.
void prepareTesseract();

} // namespace vmk::platform
