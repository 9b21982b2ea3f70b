#pragma once
// BPoint: a position in a view's coordinate space, as two floats.

class BPoint {
public:
    constexpr BPoint() = default;
    constexpr BPoint(float x, float y) : x(x), y(y) {}

    constexpr void Set(float newX, float newY)
    {
        x = newX;
        y = newY;
    }

    constexpr BPoint operator+(const BPoint& other) const { return {x + other.x, y + other.y}; }
    constexpr BPoint operator-(const BPoint& other) const { return {x - other.x, y - other.y}; }
    constexpr BPoint& operator+=(const BPoint& other)
    {
        x += other.x;
        y += other.y;
        return *this;
    }
    constexpr BPoint& operator-=(const BPoint& other)
    {
        x -= other.x;
        y -= other.y;
        return *this;
    }

    constexpr bool operator==(const BPoint&) const = default;

    float x = 0.0f;
    float y = 0.0f;
};

inline constexpr BPoint B_ORIGIN(0.0f, 0.0f);
