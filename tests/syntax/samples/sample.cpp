// Shapes with virtual dispatch; see http://www.vornish.example.com/shapes
#include <iostream>
#include <memory>
#include <vector>

namespace geo {

/* A shape knows its area.
   Derived classes override it. */
class Shape {
public:
    virtual ~Shape() = default;
    virtual double area() const noexcept = 0;
};

template <typename T>
struct Box final : public Shape {
    T w{}, h{};
    Box(T aw, T ah) : w(aw), h(ah) {}
    double area() const noexcept override { return static_cast<double>(w * h); }
};

constexpr auto kPi = 3.14159265358979e0;
constexpr unsigned long long kBig = 0xFFFF'FFFFull;

}  // namespace geo

int main(int argc, char **argv)
{
    using namespace geo;
    std::vector<std::unique_ptr<Shape>> shapes;
    shapes.push_back(std::make_unique<Box<int>>(3, 4));
    const char *raw = R"json({"name": "box", "size": [3, 4]})json";
    const char *esc = "line\n\ttab \"q\" \u00e9";
    char sep = ',';
    try {
        for (const auto &s : shapes) {
            if (s->area() > 10.0) {
                std::cout << s->area() << sep << raw << esc << '\n';
            } else {
                throw std::runtime_error("too small");
            }
        }
    } catch (const std::exception &e) {
        std::cerr << e.what() << std::endl;
        return argc > 1 ? 2 : 1;
    }
    auto twice = [](int x) { return x * 2; };
    return twice(nullptr == argv ? 1 : 0);
}
const char *open = R"delim(a raw string
that never ends
