// Triangle meshes for the game's models and the builders that make them: surfaces of
// revolution, subdivided flat panels, extruded outlines and spheres. Every triangle is wound
// counter-clockwise as seen from the side its vertex normals point to, which is the front side
// the runtime draws.
#pragma once

#include <functional>
#include <vector>

namespace assetgen {

struct Vec3 {
    double x = 0, y = 0, z = 0;
};

Vec3 operator+(Vec3 a, Vec3 b);
Vec3 operator-(Vec3 a, Vec3 b);
Vec3 operator*(Vec3 a, double k);
double Dot(Vec3 a, Vec3 b);
Vec3 Cross(Vec3 a, Vec3 b);
Vec3 Normalised(Vec3 v);  // the zero vector stays zero

struct Vertex {
    Vec3 pos;
    Vec3 normal;
    double u = 0, v = 0;  // texture coordinates; v counts from the image's top row downward
};

class Mesh {
  public:
    // Adds a triangle, wound so that its front faces the side its vertex normals point to.
    // Triangles without area are dropped.
    void AddTriangle(Vertex a, Vertex b, Vertex c);
    void AddQuad(const Vertex& a, const Vertex& b, const Vertex& c, const Vertex& d);  // a b c d around
    void Append(const Mesh& other);
    // Moves every vertex by fn(position) and turns every normal by rotate(normal).
    void Transform(const std::function<Vec3(Vec3)>& move, const std::function<Vec3(Vec3)>& rotate);
    void Translate(Vec3 by);
    const std::vector<Vertex>& Vertices() const { return vertices_; }  // three per triangle
    size_t TriangleCount() const { return vertices_.size() / 3; }

  private:
    std::vector<Vertex> vertices_;
};

// One point of a lathe profile: distance r from the axis, height h along it, texture v.
// A non-zero normal (nr, nh) is used as given; otherwise the normal follows the profile.
struct ProfilePoint {
    double r, h, v;
    double nr = 0, nh = 0;
};

// Revolves profile strips around the y axis in the given number of segments; u runs 0..1
// once around. Within a strip, normals are smooth across points; between strips there is a
// crease. A profile walked with the solid on its left (r to the right, h up) gets outward
// normals.
Mesh Lathe(const std::vector<std::vector<ProfilePoint>>& strips, int segments);

// A sphere of the given radius about the origin, texture coordinates equirectangular
// (u around the y axis, v from the north pole at 0 to the south pole at 1).
Mesh Sphere(double radius, int segments, int rings);

// A flat panel from corner o along edges a and b, cut into nu x nv quads, facing `normal`;
// uv(position) gives each vertex's texture coordinates.
Mesh Panel(Vec3 o, Vec3 a, Vec3 b, int nu, int nv, Vec3 normal,
           const std::function<std::pair<double, double>(Vec3)>& uv);

// A closed box between two corners; its longest side is cut into `divisions` quads and the
// other sides in proportion; uv as for Panel.
Mesh Box(Vec3 lo, Vec3 hi, int divisions, const std::function<std::pair<double, double>(Vec3, Vec3)>& uv);

// A prism from an outline in the x-z plane (counter-clockwise seen from above, +y) between
// heights y0 < y1; caps are fanned from `capCentre`, which must see every outline edge.
Mesh Prism(const std::vector<std::pair<double, double>>& outline, std::pair<double, double> capCentre, double y0,
           double y1, const std::function<std::pair<double, double>(Vec3)>& uv);

}  // namespace assetgen
