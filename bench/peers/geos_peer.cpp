// GEOS through its reentrant C API: prepared country geometries in an STRtree, airports as
// points in a second STRtree. Distances there are planar, in degrees of longitude and latitude.
#include <geos_c.h>

#include "peer_data.h"

namespace peers {
namespace {

class GeosPeer final : public Peer {
 public:
  GeosPeer(const std::string& dir, const std::vector<std::string>&) : ctx_(GEOS_init_r()) {
    const PeerData d = load(dir);
    for (const Feature& f : d.features) {
      std::vector<GEOSGeometry*> polys;
      for (const auto& rings : f.polygons) {
        std::vector<GEOSGeometry*> lr;
        for (const Ring& r : rings) {
          auto* seq = GEOSCoordSeq_copyFromArrays_r(ctx_, r.x.data(), r.y.data(), nullptr, nullptr,
                                                    static_cast<unsigned>(r.x.size()));
          lr.push_back(GEOSGeom_createLinearRing_r(ctx_, seq));
        }
        polys.push_back(GEOSGeom_createPolygon_r(ctx_, lr[0], lr.data() + 1,
                                                 static_cast<unsigned>(lr.size() - 1)));
      }
      auto* g = GEOSGeom_createCollection_r(ctx_, GEOS_MULTIPOLYGON, polys.data(),
                                            static_cast<unsigned>(polys.size()));
      geoms_.push_back(g);
      prepared_.push_back(GEOSPrepare_r(ctx_, g));
      codes_.push_back(f.code);
    }
    countries_ = GEOSSTRtree_create_r(ctx_, 10);
    for (size_t j = 0; j < geoms_.size(); ++j) {
      GEOSSTRtree_insert_r(ctx_, countries_, geoms_[j], reinterpret_cast<void*>(j));
    }
    airports_ = GEOSSTRtree_create_r(ctx_, 10);
    for (size_t j = 0; j < d.lat.size(); ++j) {
      auto* p = GEOSGeom_createPointFromXY_r(ctx_, d.lng[j], d.lat[j]);
      GEOSGeom_setUserData_r(ctx_, p, reinterpret_cast<void*>(j));
      points_.push_back(p);
      GEOSSTRtree_insert_r(ctx_, airports_, p, p);
    }
    // The trees are built on their first query: make that part of the load.
    country(0.0, 0.0);
    nearest(0.0, 0.0);
  }
  ~GeosPeer() override {
    GEOSSTRtree_destroy_r(ctx_, countries_);
    GEOSSTRtree_destroy_r(ctx_, airports_);
    for (auto* p : prepared_) GEOSPreparedGeom_destroy_r(ctx_, p);
    for (auto* g : geoms_) GEOSGeom_destroy_r(ctx_, g);
    for (auto* g : points_) GEOSGeom_destroy_r(ctx_, g);
    GEOS_finish_r(ctx_);
  }

  std::string_view country(double lat, double lng) override {
    struct Probe {
      GeosPeer* self;
      GEOSGeometry* pt;
      int64_t hit;
    } probe{this, GEOSGeom_createPointFromXY_r(ctx_, lng, lat), -1};
    GEOSSTRtree_query_r(
        ctx_, countries_, probe.pt,
        [](void* item, void* data) {
          auto* p = static_cast<Probe*>(data);
          const auto j = reinterpret_cast<size_t>(item);
          if (p->hit < 0 &&
              GEOSPreparedCovers_r(p->self->ctx_, p->self->prepared_[j], p->pt) == 1) {
            p->hit = static_cast<int64_t>(j);
          }
        },
        &probe);
    GEOSGeom_destroy_r(ctx_, probe.pt);
    return probe.hit < 0 ? std::string_view() : std::string_view(codes_[probe.hit]);
  }
  int32_t nearest(double lat, double lng) override {
    GEOSGeometry* pt = GEOSGeom_createPointFromXY_r(ctx_, lng, lat);
    const GEOSGeometry* hit = GEOSSTRtree_nearest_r(ctx_, airports_, pt);
    GEOSGeom_destroy_r(ctx_, pt);
    return hit ? static_cast<int32_t>(reinterpret_cast<size_t>(GEOSGeom_getUserData_r(ctx_, hit)))
               : -1;
  }
  bool has_in_country() const override { return false; }
  int32_t nearest_in(const std::string&, double, double) override { return -1; }
  bool has_set() const override { return false; }
  size_t set_nearest5(double, double, int32_t*) override { return 0; }

 private:
  GEOSContextHandle_t ctx_;
  std::vector<GEOSGeometry*> geoms_, points_;
  std::vector<const GEOSPreparedGeometry*> prepared_;
  std::vector<std::string> codes_;
  GEOSSTRtree* countries_ = nullptr;
  GEOSSTRtree* airports_ = nullptr;
};

}  // namespace

std::unique_ptr<Peer> make_geos(const std::string& dir, const std::vector<std::string>& codes) {
  return std::make_unique<GeosPeer>(dir, codes);
}

}  // namespace peers
