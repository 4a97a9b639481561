// platform
