#pragma once
#include <cstdint>
#include <optional>

#include "forms/Form.h"
#include "ports/Desktop.h"

namespace surfdeck {

// Moving a frameless window by its title label, with each edge snapping to the matching
// screen edge. Positions are twips in single precision, as the label's events give them.
class TitleDrag {
  public:
    // Within this distance of a screen edge the window is held at that edge.
    static constexpr float SnapMargin = 200;
    // A freed window is put one twip outside the margin, so that the next move follows
    // the pointer instead of snapping back.
    static constexpr float BreakAway = 201;

    // One axis of the rules: the new position of an edge-snapping window whose near
    // edge is at pos, of the given size, on a screen of that extent, with the pointer
    // displaced by d from where it grabbed the label. nullopt: the window stays.
    static std::optional<float> snap(float pos, float size, float screen, float d);

    // A press on the label, any button: remembers the grabbed place, rounded to whole
    // twips (halves to even).
    void press(float x, float y);
    // A move over the label (x, y relative to it). Acts only with the left button
    // alone: vertical rules first, then horizontal, each on the window's current place.
    void move(forms::Form& window, Desktop& desktop, int button, float x, float y) const;
    // The left button let go over the label: a window left inside a snap zone, short of
    // its edge (a last move that followed the pointer into the zone), goes to that edge.
    void release(forms::Form& window, Desktop& desktop, int button) const;

    // One axis of the release: the edge a window at pos lies in the snap zone of, or
    // nullopt when it lies outside both zones or already on the edge.
    static std::optional<float> settle(float pos, float size, float screen);

    std::int16_t DragStartX = 0;
    std::int16_t DragStartY = 0;
};

}  // namespace surfdeck
