#include "tools/bench/TFrameWatcher.h"

#include <xcb/xcb.h>

#include <cmath>
#include <cstdlib>
#include <iterator>
#include <limits>

namespace {

constexpr int Rows = 8;
constexpr int Pieces = 16;
constexpr int FeatureCount = Rows * Pieces * 3;
// A fetch shows the nearest reference when the next nearest is at least this much farther.
constexpr double ClearlyNearer = 2.0;
constexpr auto SamplePause = std::chrono::microseconds(1000);
// Variance (colour units squared) below which a value counts as standing still.
constexpr double VarianceFloor = 4;
constexpr auto CapturePause = std::chrono::milliseconds(20);

} // namespace

double TFrameWatcher::Distance(const std::vector<float>& a, const std::vector<float>& b,
                               const std::vector<double>& weights) {
    if (a.size() != b.size() || a.empty())
        return std::numeric_limits<double>::infinity();
    const bool weighted = weights.size() == a.size();
    double sum = 0;
    double total = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const double d = double(a[i]) - double(b[i]);
        const double w = weighted ? weights[i] : 1.0;
        sum += w * d * d;
        total += w;
    }
    return std::sqrt(sum / total);
}

double TFrameWatcher::Distance(const TPicture& a, const TPicture& b) const {
    std::lock_guard<std::mutex> guard(lock);
    return Distance(a.Features, b.Features, weights);
}

TFrameWatcher::TPicture TFrameWatcher::Black() {
    TPicture black;
    black.Name = QStringLiteral("black");
    black.Features.assign(FeatureCount, 0.0f);
    black.Fetches = {black.Features};
    return black;
}

TFrameWatcher::~TFrameWatcher() {
    {
        std::lock_guard<std::mutex> guard(lock);
        stopping = true;
    }
    wake.notify_all();
    if (thread.joinable())
        thread.join();
    if (connection != nullptr)
        xcb_disconnect(connection);
}

bool TFrameWatcher::Open() {
    int screenNumber = 0;
    connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(connection) != 0) {
        error = QStringLiteral("cannot connect to the X server of DISPLAY");
        return false;
    }
    const xcb_setup_t* setup = xcb_get_setup(connection);
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(setup);
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i)
        xcb_screen_next(&screens);
    if (screens.rem == 0) {
        error = QStringLiteral("the X server has no screen %1").arg(screenNumber);
        return false;
    }
    const xcb_screen_t* screen = screens.data;
    root = screen->root;
    rootWidth = screen->width_in_pixels;
    rootHeight = screen->height_in_pixels;

    // Fetch reads pixels as 32-bit words 0x..RRGGBB: that needs a 24-bit true-colour root
    // stored in 32 bits, as Xvfb and common desktops have.
    bool fitting = false;
    for (xcb_depth_iterator_t depths = xcb_screen_allowed_depths_iterator(screen); depths.rem > 0;
         xcb_depth_next(&depths)) {
        for (xcb_visualtype_iterator_t visuals = xcb_depth_visuals_iterator(depths.data);
             visuals.rem > 0; xcb_visualtype_next(&visuals)) {
            const xcb_visualtype_t* visual = visuals.data;
            if (visual->visual_id == screen->root_visual)
                fitting = depths.data->depth == 24 && visual->red_mask == 0xff0000 &&
                          visual->green_mask == 0xff00 && visual->blue_mask == 0xff;
        }
    }
    bool thirtyTwoBits = false;
    for (xcb_format_iterator_t formats = xcb_setup_pixmap_formats_iterator(setup); formats.rem > 0;
         xcb_format_next(&formats))
        if (formats.data->depth == 24)
            thirtyTwoBits = formats.data->bits_per_pixel == 32;
    if (!fitting || !thirtyTwoBits) {
        error = QStringLiteral("the X screen is not 24-bit true colour in 32-bit pixels");
        return false;
    }
    thread = std::thread([this] { Run(); });
    return true;
}

void TFrameWatcher::SetRegion(const QRect& value) {
    std::lock_guard<std::mutex> guard(lock);
    region = value.intersected(QRect(0, 0, rootWidth, rootHeight));
}

bool TFrameWatcher::Fetch(const QRect& area, std::vector<float>& features) {
    features.assign(FeatureCount, 0.0f);
    if (area.width() < Pieces || area.height() < Rows)
        return false;
    // All rows are asked for before the first reply is awaited: one round trip.
    xcb_get_image_cookie_t cookies[Rows];
    for (int row = 0; row < Rows; ++row)
        cookies[row] =
            xcb_get_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, root, std::int16_t(area.left()),
                          std::int16_t(area.top() + area.height() * (2 * row + 1) / (2 * Rows)),
                          std::uint16_t(area.width()), 1, 0xffffffffu);
    bool complete = true;
    for (int row = 0; row < Rows; ++row) {
        xcb_generic_error_t* failure = nullptr;
        xcb_get_image_reply_t* reply = xcb_get_image_reply(connection, cookies[row], &failure);
        if (reply == nullptr) {
            std::free(failure);
            complete = false;
            continue;
        }
        const int length = std::min(xcb_get_image_data_length(reply) / 4, area.width());
        const auto* data = reinterpret_cast<const std::uint32_t*>(xcb_get_image_data(reply));
        for (int piece = 0; piece < Pieces; ++piece) {
            const int from = length * piece / Pieces;
            const int to = length * (piece + 1) / Pieces;
            double red = 0, green = 0, blue = 0;
            for (int x = from; x < to; ++x) {
                red += (data[x] >> 16) & 0xff;
                green += (data[x] >> 8) & 0xff;
                blue += data[x] & 0xff;
            }
            const double count = std::max(1, to - from);
            float* out = &features[std::size_t((row * Pieces + piece) * 3)];
            out[0] = float(red / count);
            out[1] = float(green / count);
            out[2] = float(blue / count);
        }
        std::free(reply);
    }
    return complete;
}

TFrameWatcher::TPicture TFrameWatcher::Capture(const QString& name, int sampleMs) {
    QRect area;
    {
        std::lock_guard<std::mutex> guard(lock);
        area = region;
    }
    std::vector<std::vector<float>> fetches;
    std::vector<float> features;
    const auto end = TClock::now() + std::chrono::milliseconds(sampleMs);
    do {
        {
            std::lock_guard<std::mutex> guard(connectionLock);
            if (Fetch(area, features))
                fetches.push_back(features);
        }
        std::this_thread::sleep_for(CapturePause);
    } while (TClock::now() < end);
    TPicture picture;
    picture.Name = name;
    if (fetches.empty())
        return picture;
    picture.Features.assign(FeatureCount, 0.0f);
    for (const std::vector<float>& fetch : fetches)
        for (int i = 0; i < FeatureCount; ++i)
            picture.Features[std::size_t(i)] += fetch[std::size_t(i)] / float(fetches.size());
    picture.Fetches = std::move(fetches);
    return picture;
}

void TFrameWatcher::SetReferences(const std::vector<TPicture>& pictures) {
    // Weight of a value: the inverse of its largest variance over the pictures, so that
    // what moves counts little and what stands still (the bulk of a picture) counts fully.
    std::vector<double> variance(FeatureCount, 0.0);
    for (const TPicture& picture : pictures)
        for (int i = 0; i < FeatureCount; ++i) {
            double sum = 0;
            for (const std::vector<float>& fetch : picture.Fetches) {
                const double d = double(fetch[std::size_t(i)]) - picture.Features[std::size_t(i)];
                sum += d * d;
            }
            if (!picture.Fetches.empty())
                variance[std::size_t(i)] =
                    std::max(variance[std::size_t(i)], sum / double(picture.Fetches.size()));
        }
    std::vector<double> computed(FeatureCount);
    for (int i = 0; i < FeatureCount; ++i)
        computed[std::size_t(i)] = 1.0 / (variance[std::size_t(i)] + VarianceFloor);
    std::vector<TPicture> judged = pictures;
    for (TPicture& picture : judged) {
        double noise = 0;
        for (const std::vector<float>& fetch : picture.Fetches)
            noise += Distance(fetch, picture.Features, computed);
        picture.Noise = picture.Fetches.empty() ? 0 : noise / double(picture.Fetches.size());
    }
    std::lock_guard<std::mutex> guard(lock);
    references = std::move(judged);
    weights = std::move(computed);
}

std::vector<TFrameWatcher::TPicture> TFrameWatcher::References() const {
    std::lock_guard<std::mutex> guard(lock);
    return references;
}

int TFrameWatcher::Nearest(const std::vector<float>& features, bool* clearly) const {
    int nearest = -1;
    double best = std::numeric_limits<double>::infinity();
    double second = std::numeric_limits<double>::infinity();
    for (std::size_t i = 0; i < references.size(); ++i) {
        const double d = Distance(features, references[i].Features, weights);
        if (d < best) {
            second = best;
            best = d;
            nearest = int(i);
        } else if (d < second) {
            second = d;
        }
    }
    *clearly = nearest >= 0 && second >= best * ClearlyNearer;
    return nearest;
}

int TFrameWatcher::NearestNow() {
    QRect area;
    {
        std::lock_guard<std::mutex> guard(lock);
        area = region;
    }
    std::vector<float> features;
    {
        std::lock_guard<std::mutex> guard(connectionLock);
        if (!Fetch(area, features))
            return -1;
    }
    std::lock_guard<std::mutex> guard(lock);
    bool clearly = false;
    const int nearest = Nearest(features, &clearly);
    return clearly ? nearest : -1;
}

void TFrameWatcher::Arm(int reference) {
    {
        std::lock_guard<std::mutex> guard(lock);
        target = reference;
        seen = false;
        haveLastSend = false;
        armed = true;
    }
    wake.notify_all();
}

void TFrameWatcher::Disarm() {
    std::lock_guard<std::mutex> guard(lock);
    armed = false;
}

bool TFrameWatcher::Seen(TClock::time_point* at, TClock::time_point* notBefore) const {
    std::lock_guard<std::mutex> guard(lock);
    if (seen) {
        *at = seenAt;
        *notBefore = seenNotBefore;
    }
    return seen;
}

double TFrameWatcher::MeanSamplePeriodMs() const {
    std::lock_guard<std::mutex> guard(lock);
    if (sampleCount == 0)
        return 0;
    return std::chrono::duration<double, std::milli>(sampledTime).count() / double(sampleCount);
}

// The watching thread: one fetch about every millisecond while armed; asleep otherwise.
void TFrameWatcher::Run() {
    std::vector<float> features;
    for (;;) {
        QRect area;
        {
            std::unique_lock<std::mutex> guard(lock);
            wake.wait(guard, [this] { return stopping || armed; });
            if (stopping)
                return;
            area = region;
        }
        if (area.isEmpty()) {
            std::this_thread::sleep_for(SamplePause);
            continue;
        }
        const TClock::time_point sent = TClock::now();
        bool fetched;
        {
            std::lock_guard<std::mutex> guard(connectionLock);
            fetched = Fetch(area, features);
        }
        const TClock::time_point received = TClock::now();
        {
            std::lock_guard<std::mutex> guard(lock);
            if (armed) {
                bool clearly = false;
                const bool shown = fetched && Nearest(features, &clearly) == target && clearly;
                if (haveLastSend) {
                    sampledTime += sent - lastSend;
                    ++sampleCount;
                }
                if (shown) {
                    seen = true;
                    seenAt = received;
                    seenNotBefore = haveLastSend ? lastSend : sent;
                    armed = false;
                }
                lastSend = sent;
                haveLastSend = true;
            }
        }
        std::this_thread::sleep_for(SamplePause);
    }
}
