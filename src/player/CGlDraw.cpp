#include "player/CGlDraw.h"

#include <QMetaObject>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <cstring>

namespace kx {
namespace {

constexpr const char* kVertexShader = R"(
attribute vec2 position;
attribute vec2 textureCoordinate;
varying vec2 pictureCoordinate;
void main() {
    gl_Position = vec4(position, 0.0, 1.0);
    pictureCoordinate = textureCoordinate;
})";

// Limited-range BT.601, as the camera's encoder writes it.
constexpr const char* kFragmentShader = R"(
#ifdef GL_ES
precision mediump float;
#endif
uniform sampler2D planeY;
uniform sampler2D planeU;
uniform sampler2D planeV;
varying vec2 pictureCoordinate;
void main() {
    float y = 1.1644 * (texture2D(planeY, pictureCoordinate).r - 0.0627);
    float u = texture2D(planeU, pictureCoordinate).r - 0.5;
    float v = texture2D(planeV, pictureCoordinate).r - 0.5;
    gl_FragColor = vec4(y + 1.5960 * v, y - 0.3918 * u - 0.8130 * v, y + 2.0172 * u, 1.0);
})";

constexpr std::uint8_t kBlackLuma = 16;
constexpr std::uint8_t kNeutralChroma = 128;

}  // namespace

CGlDraw::CGlDraw(QWidget* window, std::mutex& displayMutex)
    : window_(window), displayMutex_(displayMutex) {}

CGlDraw::~CGlDraw() {
    if (widget_) {
        widget_->Detach();
        delete widget_.data();
    }
}

bool CGlDraw::Probe() {
    QOpenGLContext context;
    if (!context.create()) return false;
    QOffscreenSurface surface;
    surface.setFormat(context.format());
    surface.create();
    if (!surface.isValid() || !context.makeCurrent(&surface)) return false;
    context.doneCurrent();
    return true;
}

int CGlDraw::Resize(int width, int height) {
    if (width <= 0 || height <= 0) return kDisplayNone;
    sourceWidth_ = width;
    sourceHeight_ = height;
    return kDisplayYv12;
}

int CGlDraw::Init(int width, int height) {
    if (!window_) return kDisplayNone;
    if (!widget_) {
        widget_ = new YuvGlWidget(*this, window_);  // owned by the window, as every child is
        widget_->setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    widget_->setGeometry(window_->rect());
    widget_->show();
    return Resize(width, height);
}

bool CGlDraw::Draw(const Picture* picture, int flip, bool /*repaint*/) {
    flip_ = flip;
    if (picture) {
        if (NeedsConversion(picture->displayType)) return false;
        int chromaWidth = (picture->width + 1) / 2, chromaHeight = (picture->height + 1) / 2;
        const int widths[3] = {picture->width, chromaWidth, chromaWidth};
        const int heights[3] = {picture->height, chromaHeight, chromaHeight};
        for (int plane = 0; plane < 3; ++plane) {
            if (!picture->planes[plane]) return false;
            planeWidths_[plane] = widths[plane];
            planeHeights_[plane] = heights[plane];
            planes_[plane].resize(static_cast<std::size_t>(widths[plane]) * heights[plane]);
            for (int y = 0; y < heights[plane]; ++y)
                std::memcpy(planes_[plane].data() + static_cast<std::size_t>(y) * widths[plane],
                            picture->planes[plane] +
                                static_cast<std::ptrdiff_t>(y) * picture->strides[plane],
                            static_cast<std::size_t>(widths[plane]));
        }
        sourceWidth_ = picture->width;
        sourceHeight_ = picture->height;
        dirty_ = true;
    }
    Show();
    return true;
}

void CGlDraw::Clear() {
    for (int plane = 0; plane < 3; ++plane)
        std::fill(planes_[plane].begin(), planes_[plane].end(),
                  plane == 0 ? kBlackLuma : kNeutralChroma);
    dirty_ = true;
    Show();
}

bool CGlDraw::Check() {
    if (!widget_ || !window_) return false;
    widget_->setGeometry(window_->rect());
    return true;
}

void CGlDraw::Show() {
    if (widget_) QMetaObject::invokeMethod(widget_.data(), "update", Qt::QueuedConnection);
}

YuvGlWidget::YuvGlWidget(CGlDraw& owner, QWidget* parent) : QOpenGLWidget(parent), owner_(&owner) {}

YuvGlWidget::~YuvGlWidget() {
    if (!initialised_) return;
    makeCurrent();
    glDeleteTextures(3, textures_);
    program_.reset();
    doneCurrent();
}

void YuvGlWidget::initializeGL() {
    initializeOpenGLFunctions();
    program_ = std::make_unique<QOpenGLShaderProgram>();
    if (!program_->addShaderFromSourceCode(QOpenGLShader::Vertex, kVertexShader) ||
        !program_->addShaderFromSourceCode(QOpenGLShader::Fragment, kFragmentShader) ||
        !program_->link()) {
        program_.reset();
        return;
    }
    glGenTextures(3, textures_);
    for (GLuint texture : textures_) {
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    }
    initialised_ = true;
}

void YuvGlWidget::paintGL() {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    if (!initialised_ || !owner_) return;

    {
        // Paints can be sent from inside a call that already holds the display mutex (a show
        // or a resize of the window); then the textures of the last paint are drawn again and
        // the new picture follows with the next paint.
        std::unique_lock lock(owner_->displayMutex_, std::try_to_lock);
        if (lock.owns_lock()) {
            UploadLocked();
        } else {
            QMetaObject::invokeMethod(this, "update", Qt::QueuedConnection);
        }
    }
    if (!uploaded_) return;

    GLfloat s0 = coordinates_[0], s1 = coordinates_[1], t0 = coordinates_[2], t1 = coordinates_[3];
    if (flip_ & kFlipLeftRight) std::swap(s0, s1);
    if (flip_ & kFlipUpDown) std::swap(t0, t1);

    // Top-left, bottom-left, top-right, bottom-right; picture row 0 is the top.
    const GLfloat positions[] = {-1, 1, -1, -1, 1, 1, 1, -1};
    const GLfloat coordinates[] = {s0, t0, s0, t1, s1, t0, s1, t1};
    for (int plane = 0; plane < 3; ++plane) {
        glActiveTexture(GL_TEXTURE0 + plane);
        glBindTexture(GL_TEXTURE_2D, textures_[plane]);
    }
    program_->bind();
    program_->setUniformValue("planeY", 0);
    program_->setUniformValue("planeU", 1);
    program_->setUniformValue("planeV", 2);
    int position = program_->attributeLocation("position");
    int coordinate = program_->attributeLocation("textureCoordinate");
    program_->enableAttributeArray(position);
    program_->enableAttributeArray(coordinate);
    program_->setAttributeArray(position, GL_FLOAT, positions, 2);
    program_->setAttributeArray(coordinate, GL_FLOAT, coordinates, 2);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    program_->disableAttributeArray(position);
    program_->disableAttributeArray(coordinate);
    program_->release();
}

// Takes the owner's planes, zoom and flips; the caller holds the display mutex.
void YuvGlWidget::UploadLocked() {
    if (owner_->planes_[0].empty()) return;
    if (owner_->dirty_) {
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        for (int plane = 0; plane < 3; ++plane) {
            glActiveTexture(GL_TEXTURE0 + plane);
            glBindTexture(GL_TEXTURE_2D, textures_[plane]);
            glTexImage2D(GL_TEXTURE_2D, 0, GL_LUMINANCE, owner_->planeWidths_[plane],
                         owner_->planeHeights_[plane], 0, GL_LUMINANCE, GL_UNSIGNED_BYTE,
                         owner_->planes_[plane].data());
        }
        owner_->dirty_ = false;
        uploaded_ = true;
    }
    const PictureRect& zoom = owner_->zoom();
    coordinates_[0] = 0, coordinates_[1] = 1, coordinates_[2] = 0, coordinates_[3] = 1;
    if (!zoom.empty() && owner_->sourceWidth() > 0 && owner_->sourceHeight() > 0) {
        coordinates_[0] = static_cast<GLfloat>(zoom.left) / owner_->sourceWidth();
        coordinates_[1] = static_cast<GLfloat>(zoom.right) / owner_->sourceWidth();
        coordinates_[2] = static_cast<GLfloat>(zoom.top) / owner_->sourceHeight();
        coordinates_[3] = static_cast<GLfloat>(zoom.bottom) / owner_->sourceHeight();
    }
    flip_ = owner_->flip_;
}

}  // namespace kx
