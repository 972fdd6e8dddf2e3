// The screenshot: the whole screen as an 8-bit BMP file, "scrshot.bmp".
#pragma once

// 0 when the file was written, -1 when it could not be opened.
int writeScreenshot();
