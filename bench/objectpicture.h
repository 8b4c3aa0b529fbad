#ifndef OBJECTPICTURE_H
#define OBJECTPICTURE_H

// Whether a picture of the window shows the default object as the user should see it: a
// white canvas, and the triangle's pure red, green and blue corners in their places, blue at
// the top, red at the bottom left and green at the bottom right. Pixels come one at a time,
// so that a large picture can be read in bands. The rendering tests check the main window's
// picture with it too; scripts/shows-object makes the same check on a picture file, for the
// scripts and the package's own test.
class ObjectPicture
{
public:
    void add(int x, int y, int red, int green, int blue)
    {
        ++pixels;
        if (red >= 250 && green >= 250 && blue >= 250)
            ++white;
        const int value[] = { red, green, blue };
        for (int c = 0; c < 3; ++c) {
            if (value[c] >= 200 && value[(c + 1) % 3] <= 60 && value[(c + 2) % 3] <= 60)
                corners[c].add(x, y);
        }
    }

    bool showsObject() const
    {
        const Corner &red = corners[0], &green = corners[1], &blue = corners[2];
        return white > pixels / 5 && red.seen() && green.seen() && blue.seen()
                && blue.y() < red.y() && blue.y() < green.y() && red.x() < blue.x()
                && blue.x() < green.x();
    }

private:
    // Where one corner's pure colour lies, on average.
    struct Corner
    {
        long long count = 0, xSum = 0, ySum = 0;
        void add(int x, int y)
        {
            ++count;
            xSum += x;
            ySum += y;
        }
        bool seen() const { return count >= 10; }
        double x() const { return static_cast<double>(xSum) / count; }
        double y() const { return static_cast<double>(ySum) / count; }
    };

    long long pixels = 0;
    long long white = 0;
    Corner corners[3];
};

#endif // OBJECTPICTURE_H
