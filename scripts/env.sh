# Sourced by every script: the environment the build and the tests rely on, whatever the caller's is. A fresh
# machine, a cron job or `env -i` may have no locale, a short PATH, or no HOME.

# Debian always has C.UTF-8. The tests write and read file names with accents, which a program (and wine, for
# the Windows tests) can only do in a UTF-8 locale; the messages the tests compare are the C locale's.
export LC_ALL=C.UTF-8
unset LANG LANGUAGE

# The system's programs, after whatever the caller put first (ccache wrappers, a newer cmake).
for tunelore_dir in /usr/local/sbin /usr/local/bin /usr/sbin /usr/bin /sbin /bin; do
    case ":${PATH:-}:" in
    *":$tunelore_dir:"*) ;;
    *) PATH=${PATH:+$PATH:}$tunelore_dir ;;
    esac
done
unset tunelore_dir
export PATH

if [ -z "${HOME:-}" ]; then
    HOME=$(getent passwd "$(id -u)" | cut -d: -f6)
    export HOME
fi
# apt-get and dpkg never stop to ask.
export DEBIAN_FRONTEND=noninteractive
