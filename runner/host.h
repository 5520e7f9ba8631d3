// Everything the interpreter needs from outside itself: the drawing surface, picture
// holders, dialogs, the event pump, keys, files, sound, the clock, the screen, the
// window and program start. The runner window, --headless mode and tests each implement
// it. A failing call throws RunError; a window closed during pumpEvents() or a dialog
// throws WindowClosed. No Qt.
//
// The interpreter itself never waits: yields and dialogs end its slice (SliceEnd), and
// the driver answers them; pumpEvents(), inputBox() and messageBox() are what the plain
// driver, runToEnd(), calls for them.
#pragma once

#include "moxy/opcodes.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace runner {

enum class Fill : std::uint8_t { No, Yes };

struct ScreenSize {
    int width = 0;
    int height = 0;
};

class Host {
public:
    virtual ~Host() = default;

    // Drawing on the surface, in pixels with (0, 0) top-left; [colour] is packed as
    // red + 256 x green + 65536 x blue.
    virtual void setColour(std::uint32_t colour) = 0;
    virtual void drawPoint(float x, float y) = 0;
    virtual void drawLine(float x1, float y1, float x2, float y2) = 0;
    virtual void drawCircle(float x, float y, float radius) = 0;
    virtual void drawBox(float x, float y, double width, double height, Fill fill) = 0;
    virtual void drawText(float x, float y, std::string_view text) = 0;
    virtual void clearSurface() = 0;

    // Picture holders: the interpreter decides which exist; the host keeps their
    // pictures. An empty [path] empties the holder.
    virtual void loadPicture(int holder, std::string_view path) = 0;
    virtual void paintPicture(int holder, float x, float y, double width, double height) = 0;

    // Opcode 252: keys, painting, closing. Key state changes only here.
    virtual void pumpEvents() = 0;
    virtual bool keyIsDown(moxy::Key key) = 0;

    // "" when the user cancels.
    virtual std::string inputBox(std::string_view prompt) = 0;
    virtual void messageBox(std::string_view text) = 0;

    virtual std::int32_t tickCount() = 0;
    virtual void beep(std::int32_t hertz, std::int32_t milliseconds) = 0;

    // The file's bytes, whole.
    virtual std::string readFile(std::string_view path) = 0;
    // Creates or replaces the file with exactly [content].
    virtual void writeFile(std::string_view path, std::string_view content) = 0;
    virtual void startProgram(std::string_view commandLine) = 0;
    // The folder of the runner's executable, without a trailing separator.
    virtual std::string programFolder() = 0;

    virtual ScreenSize screenSize() = 0;
    virtual void setWindowWidth(double pixels) = 0;   // outer width, frame included
    virtual void setWindowHeight(double pixels) = 0;  // outer height, frame included
    virtual void setWindowTop(double pixels) = 0;
    virtual void setWindowLeft(double pixels) = 0;
    virtual void setCaption(std::string_view caption) = 0;
};

}  // namespace runner
