// Triangle meshes and their builders.
#include "mesh.h"

#include <algorithm>
#include <cmath>
#include <tuple>

namespace assetgen {

namespace {
constexpr double kPi = 3.14159265358979323846;
}

Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 operator*(Vec3 a, double k) { return {a.x * k, a.y * k, a.z * k}; }
double Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 Cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }

Vec3 Normalised(Vec3 v) {
    double len = std::sqrt(Dot(v, v));
    return len > 0 ? v * (1.0 / len) : v;
}

void Mesh::AddTriangle(Vertex a, Vertex b, Vertex c) {
    Vec3 face = Cross(b.pos - a.pos, c.pos - a.pos);
    if (Dot(face, face) < 1e-12) return;
    if (Dot(face, a.normal + b.normal + c.normal) < 0) std::swap(b, c);
    vertices_.push_back(a);
    vertices_.push_back(b);
    vertices_.push_back(c);
}

void Mesh::AddQuad(const Vertex& a, const Vertex& b, const Vertex& c, const Vertex& d) {
    AddTriangle(a, b, c);
    AddTriangle(a, c, d);
}

void Mesh::Append(const Mesh& other) {
    vertices_.insert(vertices_.end(), other.vertices_.begin(), other.vertices_.end());
}

void Mesh::Transform(const std::function<Vec3(Vec3)>& move, const std::function<Vec3(Vec3)>& rotate) {
    for (Vertex& v : vertices_) {
        v.pos = move(v.pos);
        v.normal = Normalised(rotate(v.normal));
    }
}

void Mesh::Translate(Vec3 by) {
    Transform([by](Vec3 p) { return p + by; }, [](Vec3 n) { return n; });
}

Mesh Lathe(const std::vector<std::vector<ProfilePoint>>& strips, int segments) {
    Mesh mesh;
    for (const auto& strip : strips) {
        const size_t n = strip.size();
        // Profile normals (in r, h): explicit, or the average of the adjacent segments' normals.
        std::vector<std::pair<double, double>> normals(n);
        for (size_t i = 0; i < n; ++i) {
            if (strip[i].nr != 0 || strip[i].nh != 0) {
                normals[i] = {strip[i].nr, strip[i].nh};
                continue;
            }
            double nr = 0, nh = 0;
            auto addSegment = [&](size_t j) {
                double tr = strip[j + 1].r - strip[j].r, th = strip[j + 1].h - strip[j].h;
                double len = std::hypot(tr, th);
                if (len > 0) {
                    nr += th / len;
                    nh += -tr / len;
                }
            };
            if (i > 0) addSegment(i - 1);
            if (i + 1 < n) addSegment(i);
            normals[i] = {nr, nh};
        }
        for (size_t i = 0; i + 1 < n; ++i) {
            for (int s = 0; s < segments; ++s) {
                Vertex quad[4];
                const size_t rows[4] = {i, i, i + 1, i + 1};
                const int cols[4] = {s, s + 1, s + 1, s};
                for (int k = 0; k < 4; ++k) {
                    const ProfilePoint& p = strip[rows[k]];
                    double a = 2 * kPi * cols[k] / segments;
                    double ca = std::cos(a), sa = std::sin(a);
                    quad[k].pos = {p.r * ca, p.h, -p.r * sa};
                    auto [nr, nh] = normals[rows[k]];
                    quad[k].normal = Normalised(Vec3{nr * ca, nh, -nr * sa});
                    quad[k].u = static_cast<double>(cols[k]) / segments;
                    quad[k].v = p.v;
                }
                mesh.AddQuad(quad[0], quad[1], quad[2], quad[3]);
            }
        }
    }
    return mesh;
}

Mesh Sphere(double radius, int segments, int rings) {
    std::vector<ProfilePoint> strip;
    for (int i = 0; i <= rings; ++i) {
        double polar = kPi * i / rings;  // 0 at the north pole
        double r = std::sin(polar), h = std::cos(polar);
        strip.push_back({radius * r, radius * h, static_cast<double>(i) / rings, r, h});
    }
    // The pole rows have r = 0; give their normals straight up and down.
    strip.front().nr = 0;
    strip.front().nh = 1;
    strip.back().nr = 0;
    strip.back().nh = -1;
    return Lathe({strip}, segments);
}

Mesh Panel(Vec3 o, Vec3 a, Vec3 b, int nu, int nv, Vec3 normal,
           const std::function<std::pair<double, double>(Vec3)>& uv) {
    Mesh mesh;
    auto at = [&](int i, int j) {
        Vertex v;
        v.pos = o + a * (static_cast<double>(i) / nu) + b * (static_cast<double>(j) / nv);
        v.normal = Normalised(normal);
        std::tie(v.u, v.v) = uv(v.pos);
        return v;
    };
    for (int j = 0; j < nv; ++j)
        for (int i = 0; i < nu; ++i) mesh.AddQuad(at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j + 1));
    return mesh;
}

Mesh Box(Vec3 lo, Vec3 hi, int divisions, const std::function<std::pair<double, double>(Vec3, Vec3)>& uv) {
    Mesh mesh;
    Vec3 size = hi - lo;
    struct Face {
        Vec3 o, a, b, n;
    };
    const Face faces[6] = {
        {lo, {size.x, 0, 0}, {0, size.y, 0}, {0, 0, -1}},                 // near (-z)
        {{lo.x, lo.y, hi.z}, {size.x, 0, 0}, {0, size.y, 0}, {0, 0, 1}},  // far (+z)
        {lo, {0, 0, size.z}, {0, size.y, 0}, {-1, 0, 0}},                 // -x
        {{hi.x, lo.y, lo.z}, {0, 0, size.z}, {0, size.y, 0}, {1, 0, 0}},  // +x
        {lo, {size.x, 0, 0}, {0, 0, size.z}, {0, -1, 0}},                 // bottom
        {{lo.x, hi.y, lo.z}, {size.x, 0, 0}, {0, 0, size.z}, {0, 1, 0}},  // top
    };
    // Faces are cut into quads of about the same size: `divisions` along the box's longest side.
    const double longest = std::max({size.x, size.y, size.z});
    auto cuts = [&](Vec3 edge) {
        return std::max(1, static_cast<int>(std::lround(divisions * std::sqrt(Dot(edge, edge)) / longest)));
    };
    for (const Face& f : faces) {
        Vec3 n = f.n;
        mesh.Append(Panel(f.o, f.a, f.b, cuts(f.a), cuts(f.b), n, [&](Vec3 p) { return uv(p, n); }));
    }
    return mesh;
}

Mesh Prism(const std::vector<std::pair<double, double>>& outline, std::pair<double, double> capCentre, double y0,
           double y1, const std::function<std::pair<double, double>(Vec3)>& uv) {
    Mesh mesh;
    auto vertex = [&](double x, double y, double z, Vec3 n) {
        Vertex v;
        v.pos = {x, y, z};
        v.normal = n;
        std::tie(v.u, v.v) = uv(v.pos);
        return v;
    };
    const size_t n = outline.size();
    // The outline's turning sense (twice its signed area in x-z) tells which side of each edge
    // is outside. The cap centre cannot: an edge in line with it (a barb's back edge) has no
    // side away from it.
    double area = 0;
    for (size_t i = 0; i < n; ++i) {
        auto [x0, z0] = outline[i];
        auto [x1, z1] = outline[(i + 1) % n];
        area += x0 * z1 - x1 * z0;
    }
    for (size_t i = 0; i < n; ++i) {
        auto [x0, z0] = outline[i];
        auto [x1, z1] = outline[(i + 1) % n];
        auto [cx, cz] = capCentre;
        mesh.AddTriangle(vertex(cx, y1, cz, {0, 1, 0}), vertex(x0, y1, z0, {0, 1, 0}), vertex(x1, y1, z1, {0, 1, 0}));
        mesh.AddTriangle(vertex(cx, y0, cz, {0, -1, 0}), vertex(x0, y0, z0, {0, -1, 0}),
                         vertex(x1, y0, z1, {0, -1, 0}));
        // Side wall: its outward normal is the edge turned a right angle away from the inside.
        Vec3 side = Normalised(Vec3{z1 - z0, 0, x0 - x1});
        if (area < 0) side = side * -1;
        mesh.AddQuad(vertex(x0, y0, z0, side), vertex(x1, y0, z1, side), vertex(x1, y1, z1, side),
                     vertex(x0, y1, z0, side));
    }
    return mesh;
}

}  // namespace assetgen
