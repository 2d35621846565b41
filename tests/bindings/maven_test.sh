#!/bin/sh
# A Maven user's path, offline, with Debian's Maven and its repository
# (/usr/share/maven-repo) as the only one: installs JAR with the -sources and
# -javadoc jars beside it, builds a project whose POM names only tidelink,
# and runs it on the class path Maven resolved. Run as: maven_test.sh JAR
# (the JDK's java named by TIDELINK_JAVA, or the one on PATH)
set -eu
jar=$(realpath "$1")
here=$(mktemp -d)
trap 'rm -rf "$here"' EXIT
version=$(unzip -p "$jar" META-INF/maven/io.github.tidelink/tidelink/pom.properties | sed -n 's/^version=//p')
cat >"$here/settings.xml" <<SETTINGS
<settings>
  <localRepository>$here/repository</localRepository>
  <mirrors>
    <mirror><id>debian</id><mirrorOf>*</mirrorOf><url>file:///usr/share/maven-repo</url></mirror>
  </mirrors>
</settings>
SETTINGS
mvn() { command mvn -B -q -Dstyle.color=never -s "$here/settings.xml" "$@"; }

mvn install:install-file -Dfile="$jar" -Dsources="${jar%.jar}-sources.jar" -Djavadoc="${jar%.jar}-javadoc.jar"
for kind in sources javadoc; do
    test -f "$here/repository/io/github/tidelink/tidelink/$version/tidelink-$version-$kind.jar" ||
        { echo "the $kind jar was not installed" >&2; exit 1; }
done

mkdir -p "$here/consumer/src/main/java"
# One datagram to itself, through the binding as Maven resolved it.
cat >"$here/consumer/src/main/java/ToItself.java" <<'JAVA'
import java.nio.ByteBuffer;
import io.github.tidelink.Endpoint;
import io.github.tidelink.UdpSocket;

public class ToItself {
    public static void main(String[] args) throws Exception {
        try (UdpSocket socket = new UdpSocket()) {
            socket.bind(Endpoint.loopback(0));
            ByteBuffer buffer = ByteBuffer.allocateDirect(16);
            buffer.put("maven".getBytes("US-ASCII")).flip();
            Endpoint self = socket.localEndpoint();
            if (socket.send(buffer, self) != 5 || !socket.poll(1000)) throw new Exception("no datagram");
            buffer.clear();
            if (!self.equals(socket.receive(buffer)) || buffer.position() != 5) throw new Exception("not its own datagram");
            System.out.println("5 bytes to itself at " + self);
        }
    }
}
JAVA
# The jar's manifest lists the resolved class path, as paths into the local
# repository relative to target/.
cat >"$here/consumer/pom.xml" <<POM
<project xmlns="http://maven.apache.org/POM/4.0.0">
  <modelVersion>4.0.0</modelVersion>
  <groupId>consumer</groupId>
  <artifactId>consumer</artifactId>
  <version>1</version>
  <properties>
    <maven.compiler.release>8</maven.compiler.release>
    <project.build.sourceEncoding>UTF-8</project.build.sourceEncoding>
  </properties>
  <dependencies>
    <dependency>
      <groupId>io.github.tidelink</groupId>
      <artifactId>tidelink</artifactId>
      <version>$version</version>
    </dependency>
  </dependencies>
  <build>
    <plugins>
      <plugin>
        <artifactId>maven-jar-plugin</artifactId>
        <configuration>
          <archive>
            <manifest>
              <mainClass>ToItself</mainClass>
              <addClasspath>true</addClasspath>
              <classpathLayoutType>repository</classpathLayoutType>
              <classpathPrefix>../../repository/</classpathPrefix>
            </manifest>
            <manifestEntries>
              <Enable-Native-Access>ALL-UNNAMED</Enable-Native-Access>
            </manifestEntries>
          </archive>
        </configuration>
      </plugin>
    </plugins>
  </build>
</project>
POM
# compile and jar:jar, not package: the test phase would want the surefire
# plugin, which Debian does not package.
(cd "$here/consumer" && mvn compile jar:jar)
unzip -p "$here/consumer/target/consumer-1.jar" META-INF/MANIFEST.MF | grep '^Class-Path'
env -u LD_LIBRARY_PATH "${TIDELINK_JAVA:-java}" -jar "$here/consumer/target/consumer-1.jar"
